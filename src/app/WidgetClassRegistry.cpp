#include "app/WidgetClassRegistry.h"

#include <QWidget>
#include <algorithm>

CWidgetClassRegistry& CWidgetClassRegistry::Instance()
{
    static CWidgetClassRegistry registry;
    return registry;
}

void CWidgetClassRegistry::Register(const QString& className, Factory factory)
{
    const auto existing = std::find_if(m_entries.begin(), m_entries.end(),
                                       [&](const Entry& entry) { return entry.className == className; });
    if (existing == m_entries.end()) {
        m_entries.push_back({className, std::move(factory)});
    } else if (!existing->factory) {
        existing->factory = std::move(factory);
    }
}

bool CWidgetClassRegistry::IsRegistered(const QString& className) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry& entry) { return entry.className == className; });
}

QStringList CWidgetClassRegistry::RegisteredNames() const
{
    QStringList names;
    for (const Entry& entry : m_entries) {
        names << entry.className;
    }
    return names;
}

QWidget* CWidgetClassRegistry::Create(const QString& className, QWidget* parent) const
{
    for (const Entry& entry : m_entries) {
        if (entry.className == className) {
            return entry.factory ? entry.factory(parent) : nullptr;
        }
    }
    return nullptr;
}
