#include "cli/CliArguments.h"

CCliArguments::CCliArguments(const QStringList& valueOptions, const QStringList& flagOptions)
    : m_valueOptions(valueOptions)
    , m_flagOptions(flagOptions)
{}

bool CCliArguments::Parse(const QStringList& words)
{
    bool optionsEnded = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (optionsEnded || !word.startsWith(QLatin1String("--"))) {
            m_positional.append(word);
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = word.mid(2);
        std::optional<QString> inlineValue;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            inlineValue = name.mid(equals + 1);
            name.truncate(equals);
        }
        if (m_values.contains(name)) {
            m_errorText = QStringLiteral("option --%1 given twice").arg(name);
            return false;
        }
        if (m_flagOptions.contains(name)) {
            if (inlineValue) {
                m_errorText = QStringLiteral("option --%1 takes no value").arg(name);
                return false;
            }
            m_values.insert(name, QString());
        } else if (m_valueOptions.contains(name)) {
            if (inlineValue) {
                m_values.insert(name, *inlineValue);
            } else if (i + 1 < words.size()) {
                m_values.insert(name, words.at(++i));
            } else {
                m_errorText = QStringLiteral("option --%1 needs a value").arg(name);
                return false;
            }
        } else {
            m_errorText = QStringLiteral("unknown option --%1").arg(name);
            return false;
        }
    }
    return true;
}

std::optional<QString> CCliArguments::Value(const QString& option) const
{
    const auto found = m_values.constFind(option);
    if (found == m_values.constEnd()) {
        return std::nullopt;
    }
    return *found;
}
