#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// The words after a command: positional arguments and "--name value" / "--name=value" options.
// Only the options a command declares are accepted, so a typo is an error, not a silent no-op.
class CCliArguments
{
public:
    // valueOptions take a value; flagOptions stand alone.
    CCliArguments(const QStringList& valueOptions, const QStringList& flagOptions);

    // False with ErrorText() on an unknown option, a missing value or a repeated option.
    bool Parse(const QStringList& words);

    const QStringList& Positional() const { return m_positional; }
    bool Has(const QString& option) const { return m_values.contains(option); }
    std::optional<QString> Value(const QString& option) const;
    bool AnyOptionGiven() const { return !m_values.isEmpty(); }
    const QString& ErrorText() const { return m_errorText; }

private:
    QStringList m_valueOptions;
    QStringList m_flagOptions;
    QStringList m_positional;
    QMap<QString, QString> m_values;
    QString m_errorText;
};
