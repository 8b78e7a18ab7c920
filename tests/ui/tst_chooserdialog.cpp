#include "CoreTable.h"
#include "OnScreen.h"
#include "ui/storage/ChooserDialog.h"

#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>

#include <functional>

using Mode = ChooserPort::Mode;
using Act = std::function<void(ChooserDialog&)>;
Q_DECLARE_METATYPE(Act)

using OnScreen::child;

static void click(QListWidget* list, const QString& name, bool twice = false)
{
    QListWidgetItem* item = list->findItems(name, Qt::MatchExactly).value(0);
    QVERIFY2(item, qPrintable(name));
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    // A double-click is a click and then the second press.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

static void ok(ChooserDialog& chooser)
{
    const bool save = chooser.windowTitle().startsWith(QStringLiteral("Записать"));
    QTest::mouseClick(child<QToolButton>(chooser, save ? "ImageZapisz" : "ImageWczytaj"),
                      Qt::LeftButton);
}

// Opens the chooser as the control does, acts inside its modal loop, closes it whatever the
// action left and gives the path it chose.
static QString choose(Mode mode, const Act& act, const QString& proposedName = QString())
{
    ChooserDialog& chooser = ChooserDialog::instance();
    chooser.setProcess(testProcess());
    QObject owner;
    OnScreen::whenShown<ChooserDialog>(&owner, [&act](ChooserDialog& shown) {
        act(shown);
        if (shown.isVisible())
            shown.reject();
        return true;
    });
    testProcess().chosenFilePath.clear();
    chooser.run(mode, mode == Mode::Load ? Chooser::LoadTitle : Chooser::SaveTitle, proposedName);
    return testProcess().chosenFilePath;
}

class TestChooserDialog : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;

    QString path(const QString& name) const { return QDir(m_root.path()).filePath(name); }
    QString native(const QString& name) const { return QDir::toNativeSeparators(path(name)); }

private slots:
    void initTestCase()
    {
        freshProcess();
        QVERIFY(m_root.isValid());
        // A folder of many folders and many files, and one more such folder inside it.
        for (const QString& folder : {QStringLiteral("many"), QStringLiteral("many/zz")})
            for (int n = 0; n < 60; ++n) {
                const QString number = QStringLiteral("%1").arg(n, 2, 10, QChar('0'));
                QVERIFY(QDir(path(folder)).mkpath("sub" + number));
                QVERIFY(writeFile(path(folder + "/order" + number + ".xml"), {}));
            }
        for (const char* name : {"a.xml", "b.xml", "other/b.xml"})
            QVERIFY(writeFile(path(QStringLiteral("few/") + name), {}));
    }

    void loadKeepsTheChosenFileBetweenOpenings_data()
    {
        columns<Act, QString>("between", "again");
        QTest::newRow("the file chosen before is chosen again")
            << Act([](ChooserDialog&) {}) << native("few/b.xml");
        QTest::newRow("a file of the same name in another folder is not chosen")
            << Act([this](ChooserDialog& c) { c.setFolder(path("few/other")); }) << QString();
        QTest::newRow("a file removed since is chosen no more")
            << Act([this](ChooserDialog&) { QFile::rename(path("few/b.xml"), path("few/c.xml")); })
            << QString();
    }

    void loadKeepsTheChosenFileBetweenOpenings()
    {
        const auto [between, again] = fetch<Act, QString>("between", "again");
        QFile::rename(path("few/c.xml"), path("few/b.xml"));
        ChooserDialog::instance().setFolder(path("few"));
        const auto chooseB = [](ChooserDialog& chooser) {
            click(child<QListWidget>(chooser, "FileList"), "b.xml");
            ok(chooser);
        };
        QCOMPARE(choose(Mode::Load, chooseB), native("few/b.xml"));
        between(ChooserDialog::instance());
        QCOMPARE(choose(Mode::Load, ok), again);
    }

    void saveTakesANameWithASeparatorAsAPath_data()
    {
        columns<QString, QString>("typed", "chosen");
        QTest::newRow("a plain name goes into the current folder")
            << QStringLiteral("order.xml") << native("few/order.xml");
        QTest::newRow("a full path is taken as typed")
            << QStringLiteral("/srv/out/order.xml") << QStringLiteral("/srv/out/order.xml");
        QTest::newRow("an empty name chooses nothing") << QString() << QString();
    }

    void saveTakesANameWithASeparatorAsAPath()
    {
        const auto [typed, chosen] = fetch<QString, QString>("typed", "chosen");
        ChooserDialog::instance().setFolder(path("few"));
        const auto act = [&typed = typed](ChooserDialog& chooser) {
            auto* name = child<QLineEdit>(chooser, "txtPotwierdzeniePlik");
            QVERIFY(name->isVisible());
            OnScreen::retype(name, typed);
            ok(chooser);
        };
        QCOMPARE(choose(Mode::Save, act, QStringLiteral("proposed.xml")), chosen);
    }

    void enteringAFolderShowsTheTopOfItsList_data()
    {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("entered by a double-click") << false;
        QTest::newRow("entered with the Return key") << true;
    }

    void enteringAFolderShowsTheTopOfItsList()
    {
        QFETCH(bool, byKeyboard);
        bool topShown = false;
        choose(Mode::Load, [&](ChooserDialog& chooser) {
            chooser.setFolder(path("many"));
            auto* folders = child<QListWidget>(chooser, "DirList");
            QListWidgetItem* last = folders->item(folders->count() - 1);
            QCOMPARE(last->text(), QStringLiteral("zz"));
            folders->scrollToItem(last);
            if (byKeyboard) {
                folders->setCurrentItem(last);
                QTest::keyClick(folders, Qt::Key_Return);
            } else {
                click(folders, last->text(), true);
            }
            QCOMPARE(chooser.folder(), native("many/zz"));
            QCOMPARE(folders->item(0)->text(), QStringLiteral(".."));
            topShown =
                folders->viewport()->rect().contains(folders->visualItemRect(folders->item(0)));
        });
        QVERIFY(topShown);
    }

    void scrollBarThumbStandsWhereTheListIs_data()
    {
        columns<QString, bool>("list", "atEnd");
        for (const char* list : {"FileList", "DirList"})
            for (const bool atEnd : {false, true})
                QTest::addRow("%s at its %s", list, atEnd ? "end" : "top")
                    << QString(list) << atEnd;
    }

    void scrollBarThumbStandsWhereTheListIs()
    {
        const auto [list, atEnd] = fetch<QString, bool>("list", "atEnd");
        ChooserDialog& chooser = ChooserDialog::instance();
        chooser.setFolder(path("many"));
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        auto* view = chooser.findChild<QListWidget*>(list);
        if (atEnd)
            view->scrollToBottom();
        const QImage bar = view->verticalScrollBar()->grab().toImage();
        chooser.hide();
        QVERIFY(view->verticalScrollBar()->maximum() > 0);
        // The thumb, a third of the track long, is the darker part of it.
        const int top = qGray(bar.pixel(bar.width() / 2, bar.height() * 15 / 100));
        const int bottom = qGray(bar.pixel(bar.width() / 2, bar.height() * 85 / 100));
        QVERIFY2(atEnd ? bottom < top : top < bottom,
                 qPrintable(QString("grey %1 at the top, %2 at the bottom").arg(top).arg(bottom)));
    }
};

QTEST_MAIN(TestChooserDialog)
#include "tst_chooserdialog.moc"
