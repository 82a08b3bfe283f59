#pragma once

// What the download window tests share: a drive root of their own, the message answerer, a count
// of endings, and the window opened the editor's way and driven up to and through CONTINUE.

#include "frmdownload.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "qmvcomm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class DownloadFixture : public QObject
{
protected:
    QTemporaryDir m_root;
    qmvtest::MessageBoxAnswerer *m_answerer = nullptr;
    QPointer<frmDownload> m_window;
    int m_ended = 0;

    // Once for the test binary: files and settings under the root, the clock, endings counted.
    void setUpOnce(const qmv::Clock *clock)
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        // A port picked in the window is remembered under here, never in the user's settings.
        qputenv("XDG_CONFIG_HOME", m_root.filePath("config").toLocal8Bit());
        QVERIFY(QDir().mkpath(qmv::paths::tmpDir()));
        frmDownload::setClock(clock);
        qmv::setEndHandler([this] { ++m_ended; });
    }
    void setUpEach(const QString &answer)
    {
        qmv::resetEnding();
        m_ended = 0;
        m_answerer = new qmvtest::MessageBoxAnswerer(this);
        m_answerer->setDefaultAnswer(answer);
    }
    void tearDownEach()
    {
        // Its hold may look at the finished test's locals.
        delete m_answerer;
        if (m_window)
            m_window->close();
        QTRY_VERIFY(!m_window);
        qmvComm::instance().ClosePort();
        qmv::resetEnding();
    }

    // Opens the window the editor's way and lets its sequence run until it waits for the user.
    frmDownload *openAndSettle()
    {
        m_window = frmDownload::open();
        // The half-second pause before connecting is the user's, not the link's: skip it here.
        auto *connectTimer = m_window->findChild<QTimer *>("commMountTimer");
        if (connectTimer->isActive())
            connectTimer->start(1);
        const bool settled = QTest::qWaitFor(
            [this, connectTimer] {
                return m_window && !m_window->isBusy() && !connectTimer->isActive();
            },
            20000);
        return settled ? m_window.data() : nullptr;
    }
    template <typename T = QPushButton> T *child(const char *name) const
    {
        return m_window->findChild<T *>(name);
    }
    QString status() const { return child<QPlainTextEdit>("Text1")->toPlainText(); }
    // CONTINUE with `time` typed and Tuesday picked.
    void confirmAndContinue(const QString &time = QStringLiteral("8:30")) const
    {
        child<QLineEdit>("txtTime")->setText(time);
        child<QComboBox>("comboWkDay")->setCurrentIndex(2);
        child("cmdContinue")->click();
    }
};
