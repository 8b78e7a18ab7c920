#include "TestSupport.h"

#include "core/form/ProcessState.h"
#include "ui/storage/ChooserDialog.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using Mode = ChooserPort::Mode;
using Act = std::function<void(ChooserDialog&)>;
Q_DECLARE_METATYPE(Act)

namespace {

QListWidget* list(ChooserDialog& chooser, const char* name)
{
    return chooser.findChild<QListWidget*>(QLatin1String(name));
}

void click(QListWidget* list, const QString& name, bool twice = false)
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

void ok(ChooserDialog& chooser)
{
    const char* name = chooser.windowTitle().startsWith(QStringLiteral("Записать"))
                           ? "ImageZapisz"
                           : "ImageWczytaj";
    QTest::mouseClick(chooser.findChild<QToolButton*>(QLatin1String(name)), Qt::LeftButton);
}

// Opens the chooser as the control does, acts inside its modal loop, closes it whatever the
// action left and gives the path it chose.
QString choose(Mode mode, const Act& act, const QString& proposedName = QString())
{
    ChooserDialog& chooser = ChooserDialog::instance();
    chooser.setProcess(testProcess());
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!chooser.isVisible())
            return;
        poll.stop();
        act(chooser);
        if (chooser.isVisible())
            chooser.reject();
    });
    poll.start(10);
    QString& chosen = testProcess().chosenFilePath;
    chosen.clear();
    chooser.run(mode, mode == Mode::Load ? Chooser::LoadTitle : Chooser::SaveTitle, proposedName);
    return chosen;
}

} // namespace

class TestChooserDialog : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_root;

    QString path(const QString& relative) const { return QDir(m_root.path()).filePath(relative); }
    QString native(const QString& relative) const
    {
        return QDir::toNativeSeparators(path(relative));
    }

private slots:
    void initTestCase()
    {
        freshProcess();
        QVERIFY(m_root.isValid());
        // A folder of many folders and many files, and one more such folder inside it.
        for (const QString& folder : {QStringLiteral("many"), QStringLiteral("many/zz")}) {
            for (int n = 0; n < 60; ++n) {
                QVERIFY(
                    QDir(path(folder)).mkpath(QStringLiteral("sub%1").arg(n, 2, 10, QChar('0'))));
                QVERIFY(writeFile(
                    path(folder + QStringLiteral("/order%1.xml").arg(n, 2, 10, QChar('0'))), {}));
            }
        }
        for (const char* name : {"a.xml", "b.xml", "other/b.xml"})
            QVERIFY(writeFile(path(QStringLiteral("few/") + name), {}));
    }

    void loadKeepsTheChosenFileBetweenOpenings_data()
    {
        QTest::addColumn<Act>("between");
        QTest::addColumn<QString>("again");
        QTest::newRow("the file chosen before is chosen again")
            << Act([](ChooserDialog&) {}) << native("few/b.xml");
        QTest::newRow("a file of the same name in another folder is not chosen")
            << Act([this](ChooserDialog& chooser) { chooser.setFolder(path("few/other")); })
            << QString();
        QTest::newRow("a file removed since is chosen no more")
            << Act([this](ChooserDialog&) { QFile::rename(path("few/b.xml"), path("few/c.xml")); })
            << QString();
    }

    void loadKeepsTheChosenFileBetweenOpenings()
    {
        QFETCH(Act, between);
        QFETCH(QString, again);
        QFile::rename(path("few/c.xml"), path("few/b.xml"));
        ChooserDialog::instance().setFolder(path("few"));
        // GIVEN a file chosen in load mode
        QCOMPARE(choose(Mode::Load,
                        [](ChooserDialog& chooser) {
                            click(list(chooser, "FileList"), QStringLiteral("b.xml"));
                            ok(chooser);
                        }),
                 native("few/b.xml"));
        between(ChooserDialog::instance());
        // WHEN the chooser is opened again and OK pressed at once
        QCOMPARE(choose(Mode::Load, ok), again);
    }

    void saveTakesANameWithASeparatorAsAPath_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("a plain name goes into the current folder")
            << QStringLiteral("order.xml") << native("few/order.xml");
        QTest::newRow("a full path is taken as typed")
            << QStringLiteral("/srv/out/order.xml") << QStringLiteral("/srv/out/order.xml");
        QTest::newRow("an empty name chooses nothing") << QString() << QString();
    }

    void saveTakesANameWithASeparatorAsAPath()
    {
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        ChooserDialog::instance().setFolder(path("few"));
        const QString path = choose(
            Mode::Save,
            [&typed](ChooserDialog& chooser) {
                auto* name = chooser.findChild<QLineEdit*>(QStringLiteral("txtPotwierdzeniePlik"));
                QVERIFY(name->isVisible());
                name->setFocus();
                name->selectAll();
                QTest::keyClick(name, Qt::Key_Backspace);
                QTest::keyClicks(name, typed);
                ok(chooser);
            },
            QStringLiteral("proposed.xml"));
        QCOMPARE(path, chosen);
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
            QListWidget* folders = list(chooser, "DirList");
            // WHEN the folder at the bottom of a long list is entered
            QListWidgetItem* last = folders->item(folders->count() - 1);
            QCOMPARE(last->text(), QStringLiteral("zz"));
            folders->scrollToItem(last);
            if (byKeyboard) {
                folders->setCurrentItem(last);
                QTest::keyClick(folders, Qt::Key_Return);
            } else {
                click(folders, last->text(), true);
            }
            // THEN its own long list shows its first entries, ".." first
            QCOMPARE(chooser.folder(), native("many/zz"));
            QCOMPARE(folders->item(0)->text(), QStringLiteral(".."));
            topShown =
                folders->viewport()->rect().contains(folders->visualItemRect(folders->item(0)));
        });
        QVERIFY(topShown);
    }

    void scrollBarThumbStandsWhereTheListIs_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("atEnd");
        QTest::newRow("the file list at its top") << QStringLiteral("FileList") << false;
        QTest::newRow("the file list at its end") << QStringLiteral("FileList") << true;
        QTest::newRow("the folder list at its top") << QStringLiteral("DirList") << false;
        QTest::newRow("the folder list at its end") << QStringLiteral("DirList") << true;
    }

    void scrollBarThumbStandsWhereTheListIs()
    {
        QFETCH(QString, list);
        QFETCH(bool, atEnd);
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
                 qPrintable(
                     QStringLiteral("grey %1 at the top, %2 at the bottom").arg(top).arg(bottom)));
    }
};

QTEST_MAIN(TestChooserDialog)
#include "tst_chooserdialog.moc"
