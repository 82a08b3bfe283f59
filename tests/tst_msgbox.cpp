#include "messageboxanswerer.h"
#include "msgbox.h"
#include "paths.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class tst_MsgBox : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QDir(m_root.path()).removeRecursively();
    }

    void styles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("code");
        const QStringList okCancel{"cmdOK", "cmdCancel"}, yesNo{"cmdYes", "cmdNo"};
        QTest::newRow("ok") << 1 << okCancel << "cmdOK" << 1;
        QTest::newRow("cancel") << 1 << okCancel << "cmdCancel" << 2;
        QTest::newRow("yes") << 2 << yesNo << "cmdYes" << 6;
        QTest::newRow("no") << 2 << yesNo << "cmdNo" << 7;
        QTest::newRow("okalone") << 3 << QStringList{"cmdOKonly"} << "cmdOKonly" << 1;
        QTest::newRow("closedwithoutbutton") << 2 << yesNo << "close" << 0;
        QTest::newRow("style0nobutton") << 0 << QStringList{} << "close" << 0;
        QTest::newRow("style255nobutton") << 255 << QStringList{} << "close" << 0;
    }

    void styles()
    {
        QFETCH(int, style);
        QFETCH(QStringList, buttons);
        QFETCH(QString, answer);
        QFETCH(int, code);
        frmMsgBox box;
        box.mcutMsgBoxStyle = style;
        box.load();
        box.show();
        QStringList shown;
        for (QPushButton *button : box.findChildren<QPushButton *>())
            if (button->isVisible())
                shown.append(button->objectName());
        QCOMPARE(shown, buttons);
        box.hide();
        qmvtest::MessageBoxAnswerer answerer;
        answerer.queue(answer);
        QCOMPARE(ShowMessageBox("Question", "Title", style, 2), code);
        QCOMPARE(answerer.seen().size(), 1);
    }

    void icon_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<QList<int>>("files");
        QTest::addColumn<bool>("shown");
        QTest::newRow("present") << 12 << QList<int>{1, 2, 12} << true;
        QTest::newRow("absent") << 2 << QList<int>{} << false;
        QTest::newRow("onlyotherfiles") << 12 << QList<int>{1, 2} << false;
        QTest::newRow("1nottakenfrom12") << 1 << QList<int>{12} << false;
    }

    void icon()
    {
        QFETCH(int, icon);
        QFETCH(QList<int>, files);
        QFETCH(bool, shown);
        // Each icon file its own colour, so the picture shown tells which file was read.
        for (int file : files) {
            QImage image(32, 32, QImage::Format_ARGB32);
            image.fill(QColor::fromHsv(file * 20, 255, 230));
            QVERIFY(QDir().mkpath(QFileInfo(qmv::paths::messageIcon(file)).path()));
            QVERIFY(image.save(qmv::paths::messageIcon(file), "ICO"));
        }
        frmMsgBox box;
        box.mCutMsgBoxIcon = icon;
        box.load();
        const QImage picture = box.findChild<QLabel *>("imgIcon")->pixmap().toImage();
        QCOMPARE(!picture.isNull(), shown);
        if (shown)
            QCOMPARE(picture.pixel(16, 16), QColor::fromHsv(icon * 20, 255, 230).rgb());
    }

    void twoCallsInARow()
    {
        qmvtest::MessageBoxAnswerer answerer;
        answerer.queue("cmdYes");
        answerer.queue("close");
        QCOMPARE(ShowMessageBox("first", "one", 2, 2), 6);
        // Closed without a button: the first call's Yes must not come back.
        QCOMPARE(ShowMessageBox("second", "two", 2, 2), 0);
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).message, "second");
        QCOMPARE(answerer.seen().at(1).title, "two");
    }

    void messageIsPlainTextOnLines()
    {
        frmMsgBox box;
        box.mCutMsgBoxMsg = "<b>week1</b> & x\r\nsecond";
        box.load();
        const QLabel *label = box.findChild<QLabel *>("lblMsg");
        QCOMPARE(label->text(), "<b>week1</b> & x\nsecond");
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }

private:
    QTemporaryDir m_root;
};

QTEST_MAIN(tst_MsgBox)
#include "tst_msgbox.moc"
