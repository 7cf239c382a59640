#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QWidget;

// Custom controls that dialogs create by class name ("MMWaveEditXCtrl", "EditCtrl"). The
// names are registered at start-up in a fixed order; the factory that builds a name's widget
// may be attached when the widget's code is ready, and until then the name creates nothing.
class CWidgetClassRegistry
{
public:
    static constexpr const char* kWaveEditClass = "MMWaveEditXCtrl";
    static constexpr const char* kSpinEditClass = "EditCtrl";

    using Factory = std::function<QWidget*(QWidget* parent)>;

    static CWidgetClassRegistry& Instance();

    // Adds the name (once; a second registration only replaces a missing factory).
    void Register(const QString& className, Factory factory = {});
    bool IsRegistered(const QString& className) const;
    // In registration order.
    QStringList RegisteredNames() const;
    // A new widget of the class, owned by `parent`; nullptr for an unknown name or a name
    // whose widget is not available.
    QWidget* Create(const QString& className, QWidget* parent) const;

private:
    struct Entry
    {
        QString className;
        Factory factory;
    };

    std::vector<Entry> m_entries;
};
