#include "messageboxanswerer.h"
#include "msgbox.h"
#include "paths.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList AllButtons = {"cmdOK", "cmdCancel", "cmdYes", "cmdNo", "cmdOKonly"};

QColor iconColour(int icon)
{
    return QColor::fromHsv((icon * 47) % 360, 255, 230);
}

void writeIcon(int icon)
{
    const QString path = qmv::paths::messageIcon(icon);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(iconColour(icon));
    QVERIFY2(image.save(path, "ICO"), qPrintable(path));
}

QStringList visibleButtons(const frmMsgBox &box)
{
    QStringList shown;
    for (const QString &name : AllButtons) {
        auto *button = box.findChild<QPushButton *>(name);
        if (button && button->isVisibleTo(&box))
            shown.append(name);
    }
    return shown;
}

QLabel *child(const frmMsgBox &box, const char *name)
{
    return box.findChild<QLabel *>(QLatin1String(name));
}

} // namespace

class tst_MsgBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonSets_data();
    void buttonSets();
    void codes_data();
    void codes();
    void icon_data();
    void icon();
    void reloadShowsOnlyTheLatest_data();
    void reloadShowsOnlyTheLatest();
    void twoCallsInARow();
    void messageText_data();
    void messageText();

private:
    std::unique_ptr<QTemporaryDir> m_root;
};

void tst_MsgBox::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("QMV_ROOT", m_root->path().toLocal8Bit());
}

void tst_MsgBox::cleanup()
{
    qunsetenv("QMV_ROOT");
    m_root.reset();
}

void tst_MsgBox::buttonSets_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QStringList>("buttons");

    QTest::newRow("ok_cancel") << 1 << QStringList{"cmdOK", "cmdCancel"};
    QTest::newRow("yes_no") << 2 << QStringList{"cmdYes", "cmdNo"};
    QTest::newRow("ok_alone") << 3 << QStringList{"cmdOKonly"};
    QTest::newRow("style_0_no_button") << 0 << QStringList{};
    QTest::newRow("style_4_no_button") << 4 << QStringList{};
    QTest::newRow("style_255_no_button") << 255 << QStringList{};
}

void tst_MsgBox::buttonSets()
{
    QFETCH(int, style);
    QFETCH(QStringList, buttons);

    frmMsgBox box;
    box.mcutMsgBoxStyle = style;
    box.load();
    box.show();
    QCOMPARE(visibleButtons(box), buttons);
}

void tst_MsgBox::codes_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("code");

    QTest::newRow("ok_of_ok_cancel") << 1 << "cmdOK" << 1;
    QTest::newRow("cancel") << 1 << "cmdCancel" << 2;
    QTest::newRow("yes") << 2 << "cmdYes" << 6;
    QTest::newRow("no") << 2 << "cmdNo" << 7;
    QTest::newRow("ok_alone") << 3 << "cmdOKonly" << 1;
    QTest::newRow("close_box_on_yes_no") << 2 << "close" << 0;
    QTest::newRow("close_box_without_buttons") << 0 << "close" << 0;
}

void tst_MsgBox::codes()
{
    QFETCH(int, style);
    QFETCH(QString, answer);
    QFETCH(int, code);

    qmvtest::MessageBoxAnswerer answerer;
    answerer.queue(answer);
    QCOMPARE(ShowMessageBox("Question", "Title", style, 2), code);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().at(0).title, QStringLiteral("Title"));
    QCOMPARE(answerer.seen().at(0).style, style);
}

void tst_MsgBox::icon_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QList<int>>("filesPresent");
    QTest::addColumn<bool>("shown");

    QTest::newRow("icon_2_present") << 2 << QList<int>{2} << true;
    QTest::newRow("icon_2_absent") << 2 << QList<int>{} << false;
    QTest::newRow("icon_12_present") << 12 << QList<int>{1, 2, 12} << true;
    QTest::newRow("icon_12_only_other_files") << 12 << QList<int>{1, 2} << false;
    QTest::newRow("icon_1_not_taken_from_icon_12") << 1 << QList<int>{12} << false;
}

void tst_MsgBox::icon()
{
    QFETCH(int, icon);
    QFETCH(QList<int>, filesPresent);
    QFETCH(bool, shown);

    for (int present : filesPresent)
        writeIcon(present);

    frmMsgBox box;
    box.mCutMsgBoxIcon = icon;
    box.mcutMsgBoxStyle = 2;
    box.load();
    const QPixmap picture = child(box, "imgIcon")->pixmap();
    QCOMPARE(!picture.isNull(), shown);
    if (shown) {
        const QImage image = picture.toImage();
        QCOMPARE(image.pixel(image.rect().center()), iconColour(icon).rgb());
    }
}

void tst_MsgBox::reloadShowsOnlyTheLatest_data()
{
    QTest::addColumn<int>("firstStyle");
    QTest::addColumn<int>("firstIcon");
    QTest::addColumn<int>("secondStyle");
    QTest::addColumn<int>("secondIcon");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<bool>("iconShown");

    // Icon 2 has a file, icon 3 has none.
    QTest::newRow("icon_then_none") << 2 << 2 << 3 << 3 << QStringList{"cmdOKonly"} << false;
    QTest::newRow("none_then_icon") << 1 << 3 << 2 << 2 << QStringList{"cmdYes", "cmdNo"} << true;
    QTest::newRow("buttons_then_none") << 1 << 2 << 9 << 3 << QStringList{} << false;
}

void tst_MsgBox::reloadShowsOnlyTheLatest()
{
    QFETCH(int, firstStyle);
    QFETCH(int, firstIcon);
    QFETCH(int, secondStyle);
    QFETCH(int, secondIcon);
    QFETCH(QStringList, buttons);
    QFETCH(bool, iconShown);

    writeIcon(2);
    frmMsgBox box;
    box.mCutMsgBoxMsg = "first message";
    box.mCutMsgBoxTitle = "first title";
    box.mcutMsgBoxStyle = firstStyle;
    box.mCutMsgBoxIcon = firstIcon;
    box.load();
    box.show();

    box.mCutMsgBoxMsg = "second message";
    box.mCutMsgBoxTitle = "second title";
    box.mcutMsgBoxStyle = secondStyle;
    box.mCutMsgBoxIcon = secondIcon;
    box.load();

    QCOMPARE(child(box, "lblMsg")->text(), QStringLiteral("second message"));
    QCOMPARE(box.windowTitle(), QStringLiteral("second title"));
    QCOMPARE(visibleButtons(box), buttons);
    QCOMPARE(!child(box, "imgIcon")->pixmap().isNull(), iconShown);
}

void tst_MsgBox::twoCallsInARow()
{
    qmvtest::MessageBoxAnswerer answerer;
    answerer.queue("cmdYes");
    answerer.queue("close");

    QCOMPARE(ShowMessageBox("first", "one", 2, 2), 6);
    // Closed without a button: the first call's Yes must not come back.
    QCOMPARE(ShowMessageBox("second", "two", 2, 2), 0);

    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen().at(1).message, QStringLiteral("second"));
    QCOMPARE(answerer.seen().at(1).title, QStringLiteral("two"));
}

void tst_MsgBox::messageText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("one_line") << "Program saved..." << QStringList{"Program saved..."};
    QTest::newRow("cr_lf_two_lines")
        << "Are you sure ?\r\nDo you really want to Exit ? ? ?"
        << QStringList{"Are you sure ?", "Do you really want to Exit ? ? ?"};
    QTest::newRow("cr_lf_three_lines") << "a\r\nb\r\nc" << QStringList{"a", "b", "c"};
    QTest::newRow("markup_is_text")
        << "<b>week1</b> & <i>x</i>" << QStringList{"<b>week1</b> & <i>x</i>"};
}

void tst_MsgBox::messageText()
{
    QFETCH(QString, message);
    QFETCH(QStringList, lines);

    frmMsgBox box;
    box.mCutMsgBoxMsg = message;
    box.mcutMsgBoxStyle = 3;
    box.load();
    const QLabel *label = child(box, "lblMsg");
    QCOMPARE(label->text().split(QLatin1Char('\n')), lines);
    const bool asMarkup =
        label->textFormat() == Qt::RichText ||
        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    QVERIFY(!asMarkup);
}

QTEST_MAIN(tst_MsgBox)
#include "tst_msgbox.moc"
