#pragma once

#include "app/DialogSeams.h"
#include "app/KeyboardShortcutHook.h"
#include "app/MainWindow.h"
#include "app/RecordSettings.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// A main window on the in-memory sound card, with a Data folder and a save folder of its own
// and every message box answered (and remembered) by the test.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid());
        ASSERT_TRUE(m_save.isValid());
        qputenv("SORVANE_DATA_DIR", m_data.path().toLocal8Bit());
        // Deleted and too-short recordings go to a trash of the test's own.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.filePath(QStringLiteral("share"))));
        CRecordSettings& settings = CRecordSettings::Instance();
        settings.SetFormat(RecordFormat::Pcm16(2, 44100));
        settings.SetRecordings({});
        settings.SetSchedule({});
        // Short test recordings are kept, and no silence ends them.
        settings.SetSilenceDetectorEnabled(false);
        settings.SetPlayLoop(true);
        settings.SetSaveDirectory(m_save.path() + QLatin1Char('/'));
        m_backend = std::make_shared<CMemoryAudioBackend>();
        m_audio = std::make_unique<CScopedAudioBackend>(m_backend);
        m_messages = std::make_unique<DialogSeams::CScopedHandlers>(
            [this](QWidget*, const DialogSeams::MessageRequest& request) {
                m_shown << request.text;
                return QMessageBox::Ok;
            },
            [](QWidget*, const DialogSeams::FileRequest&) { return QStringList{}; });
    }

    void TearDown() override
    {
        m_keys.reset();
        m_window.reset();
        m_audio.reset();
        m_messages.reset();
        qunsetenv("XDG_DATA_HOME");
    }

    CMainWindow& OpenWindow()
    {
        m_window = std::make_unique<CMainWindow>();
        m_keys = std::make_unique<CKeyboardShortcutHook>(m_window.get());
        m_window->show();
        m_window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        return *m_window;
    }

    // Hands sound to the running capture and lets the window handle what it posted.
    void Feed(const QByteArray& bytes)
    {
        m_backend->QueueCapture(bytes);
        ASSERT_TRUE(m_backend->WaitUntilCaptureIdle());
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    QString SavePath(const QString& name) const { return m_save.filePath(name); }
    QStringList TrashedFiles() const
    {
        return QDir(m_data.filePath(QStringLiteral("share/Trash/files"))).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir m_data;
    QTemporaryDir m_save;
    std::shared_ptr<CMemoryAudioBackend> m_backend;
    std::unique_ptr<CScopedAudioBackend> m_audio;
    std::unique_ptr<DialogSeams::CScopedHandlers> m_messages;
    std::unique_ptr<CMainWindow> m_window;
    std::unique_ptr<CKeyboardShortcutHook> m_keys;
    QStringList m_shown;
};
