#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>

namespace AppTestHelpers
{
// Sets (or clears) an environment variable for one test and puts the old value back after.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::optional<QString>& value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        if (value) {
            qputenv(name, value->toLocal8Bit());
        } else {
            qunsetenv(name);
        }
    }
    ~ScopedEnvironment()
    {
        if (m_wasSet) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_old;
};

// Makes every write past maxBytes into a regular file fail with EFBIG, even for root, which
// no permission bit can do. The signal the kernel would send is ignored meanwhile.
class ScopedFileSizeLimit
{
public:
    explicit ScopedFileSizeLimit(rlim_t maxBytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = maxBytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~ScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;
    bool Active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_active = false;
};

// Little-endian file images written out by hand, field by field.
class ByteBuilder
{
public:
    ByteBuilder& U8(std::uint8_t value)
    {
        m_bytes.append(static_cast<char>(value));
        return *this;
    }
    ByteBuilder& U16(std::uint16_t value) { return U8(value & 0xFF).U8(value >> 8); }
    ByteBuilder& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
    ByteBuilder& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
    ByteBuilder& Raw(const QByteArray& bytes)
    {
        m_bytes.append(bytes);
        return *this;
    }
    qsizetype Size() const { return m_bytes.size(); }
    const QByteArray& Bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// A private Data folder (SORVANE_DATA_DIR, not yet created), home and config folder per test,
// so nothing depends on or touches the user's own.
class PrivateFoldersTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid() && QDir().mkpath(Home())); }
    QString DataFolder() const { return m_root.path() + QStringLiteral("/Data"); }
    QString Home() const { return m_root.path() + QStringLiteral("/home"); }

    QTemporaryDir m_root;
    ScopedEnvironment m_dataDir{"SORVANE_DATA_DIR", DataFolder()};
    ScopedEnvironment m_home{"HOME", Home()};
    ScopedEnvironment m_configHome{"XDG_CONFIG_HOME", m_root.path() + QStringLiteral("/config")};
};
} // namespace AppTestHelpers
