#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// The application-wide key filter SetKeyHook installs.
class CKeyHookFilter : public QObject
{
    Q_OBJECT

public:
    explicit CKeyHookFilter(QWidget* window);
    ~CKeyHookFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
};
