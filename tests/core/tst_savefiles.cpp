#include "CoreForm.h"
#include "CoreRulesFixture.h"
#include "FakeChooser.h"

#include "core/actions/CellEditor.h"
#include "core/actions/LoadResponse.h"
#include "core/actions/SaveResponse.h"
#include "core/rules/Chooser.h"

using Field = Confirmation::Field;
using Mode = ChooserPort::Mode;

namespace {

// A control that has read an order of three lines and numbered its confirmation.
struct Editor : OrderForm {
    Editor() : OrderForm(3)
    {
        form.setField(Field::txtNrPotw, QStringLiteral("Пз_ZK-1"));
        messages.clear();
    }
    FakeChooser chooser{&form};
};

// What a response carries of the confirmation, as the user sees it. The delivery point's
// name and address and the line columns after the pack size are not written into a response.
QStringList snapshot(const Confirmation& form)
{
    QStringList shown{form.txtDataPotw()->toString(Qt::ISODate),
                      form.txtDataDost()->toString(Qt::ISODate), form.txtCzasDost()->toString(),
                      QString::number(form.cboxTyp())};
    for (Field f :
         {Field::txtNrPotw, Field::lblNrZamWart, Field::lblDataZamWart, Field::lblILNKupWart,
          Field::lblILNSprzedWart, Field::lblILNMiejscaDostWart, Field::txtUwagi})
        shown << form.field(f);
    shown << texts(form.lines(), 1, ColNumber, form.lineCount(), ColPackSize);
    return shown << form.summary().text(1, SumLineCount) << form.summary().text(1, SumConfirmed);
}

const QString SavedName = QStringLiteral("Подтверждение_заказа_Пз_ZK-1.xml");
} // namespace

class TestSaveFiles : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess("ru_RU"); }

    void savedResponseLoadsBack_data()
    {
        columns<QString, QString, QString>("locale", "typed", "secondLine");
        QTest::newRow("typed with a decimal comma")
            << QString("ru_RU") << "15,5" << QString("15,500");
        QTest::newRow("typed with a decimal point")
            << QString("en_US") << "15.5" << QString("15.500");
    }

    void savedResponseLoadsBack()
    {
        const auto [locale, typed, secondLine] =
            fetch<QString, QString, QString>("locale", "typed", "secondLine");
        freshProcess(locale);
        QTemporaryDir first, second;
        Editor saved;
        saved.form.selectCboxTyp(0);
        saved.form.setTxtDataDost(QDate(2026, 12, 11));
        saved.form.setField(Field::txtUwagi, QStringLiteral("Звонить\r\nзаранее"));
        // Typed into the cell editor and left open there: the save commits it.
        saved.form.lines().setCurrentCell(2, ColConfirmed);
        QCOMPARE(saved.form.editor().open(), CellEditor::Opened::Editor);
        saved.form.editor().setText(typed);
        saved.chooser.folder = first.path();
        btnZapisz_Click(saved.form, saved.chooser);
        const QString path = first.filePath(SavedName);
        const QByteArray bytes = readFile(path);

        RecordingMessages messages;
        Confirmation loaded(messages, testProcess());
        FakeChooser chooser(&loaded);
        chooser.path = path;
        btnWczytaj_Click(loaded, chooser);

        QCOMPARE(saved.messages.texts() + messages.texts(), QStringList{});
        // The saved cell keeps the typed text; the file and the loaded cell hold three decimals.
        saved.form.lines().setText(2, ColConfirmed, secondLine);
        QCOMPARE(snapshot(loaded), snapshot(saved.form));
        QVERIFY(loaded.isEnabled());
        // The load ends on the first line and on the summary's total, counted again.
        QCOMPARE(std::pair(loaded.lines().currentRow(), loaded.summary().currentColumn()),
                 std::pair(1, int(SumConfirmed)));

        chooser.folder = second.path();
        btnZapisz_Click(loaded, chooser);
        QCOMPARE(readFile(second.filePath(SavedName)), bytes);
    }

    // `failed`: the chooser was shown and the save failed; else it was refused before.
    void refusedSaves_data()
    {
        columns<QString, QString, bool, bool>("number", "chosen", "failed", "dated");
        const QString numbered = QStringLiteral("Пз_1");
        QTest::newRow("no confirmation number: the chooser is not shown")
            << QString() << "out.xml" << false << true;
        QTest::newRow("a path below a regular file: the error and the old file kept")
            << numbered << "file.txt/x.xml" << true << true;
        QTest::newRow("a line break that came with the number: the error, nothing written")
            << "Пз_1\n2" << QString("Подтверждение_заказа_Пз_1\n2.xml") << true << true;
        QTest::newRow("no confirmation date: the chooser is not shown")
            << numbered << "out.xml" << false << false;
    }

    void refusedSaves()
    {
        const auto [number, chosen, failed, dated] =
            fetch<QString, QString, bool, bool>("number", "chosen", "failed", "dated");
        QTemporaryDir folder;
        const QString blocker = folder.filePath("file.txt");
        QVERIFY(writeFile(blocker, "earlier"));
        Editor e;
        e.form.setField(Field::txtNrPotw, number);
        if (!dated)
            e.form.setTxtDataPotw(std::nullopt);
        e.chooser.path = chosen.isEmpty() ? QString() : folder.filePath(chosen);

        btnZapisz_Click(e.form, e.chooser);

        QCOMPARE(e.chooser.openings.size(), int(failed));
        QCOMPARE(e.messages.titles(),
                 QStringList{failed ? "Произошла ошибка в btnZapisz_Click()" : "WEXA"});
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"file.txt"});
        QCOMPARE(readFile(blocker), "earlier");
        QVERIFY(e.form.isEnabled());
    }

    void aCancelledLoadLeavesTheFormReadyToSend()
    {
        Editor e;
        e.form.set(Confirmation::Switch::btnPrzeslijEnabled, false);
        const QStringList before = snapshot(e.form);

        btnWczytaj_Click(e.form, e.chooser);

        QCOMPARE(e.chooser.openings.size(), 1);
        QCOMPARE(e.messages.texts(), QStringList{});
        QVERIFY(e.form.isOn(Confirmation::Switch::btnPrzeslijEnabled));
        QVERIFY(e.form.isEnabled());
        QCOMPARE(snapshot(e.form), before);
    }

    void saveProposesANameWithoutSlashes()
    {
        Editor e;
        e.form.setField(Field::txtNrPotw, QStringLiteral("Пз_12/34\\5 №: ок?"));

        btnZapisz_Click(e.form, e.chooser);

        QCOMPARE(e.chooser.openings.size(), 1);
        const FakeChooser::Opening& opening = e.chooser.openings[0];
        QCOMPARE(opening.mode, Mode::Save);
        QCOMPARE(opening.title, "Записать подтверждение заказа");
        QCOMPARE(opening.proposedName, "Подтверждение_заказа_Пз_12_34_5 №: ок?.xml");
        QVERIFY(!opening.controlEnabled);
    }

    void chooserMakesThePath_data()
    {
        columns<Mode, QString, QString, QString, QString>("mode", "folder", "selected", "typed",
                                                          "path");
        const QString data = "/data", order = "order.xml", other = "other.xml", none;
        QTest::newRow("load joins the folder and the selected file")
            << Mode::Load << data << order << other << "/data/order.xml";
        QTest::newRow("load in the root folder adds no second separator")
            << Mode::Load << QString("/") << order << none << "/order.xml";
        QTest::newRow("load with nothing selected chooses nothing")
            << Mode::Load << data << none << order << none;
        QTest::newRow("save takes the typed name as it is, without an extension")
            << Mode::Save << data << other << QString("order") << "/data/order";
        QTest::newRow("save takes a name holding a slash as a path, as typed")
            << Mode::Save << data << none << QString("/srv/out/order.xml") << "/srv/out/order.xml";
        QTest::newRow("save puts a name with a backslash into the folder, like any other name")
            << Mode::Save << data << none << QString("a\\b.xml") << "/data/a\\b.xml";
    }

    void chooserMakesThePath()
    {
        const auto [mode, folder, selected, typed, path] =
            fetch<Mode, QString, QString, QString, QString>("mode", "folder", "selected", "typed",
                                                            "path");
        QCOMPARE(Chooser::chosenPath(mode, folder, selected, typed), path);
        QCOMPARE(Chooser::offLinePathLabel(folder), folder == "/" ? "/WEXA" : folder + "/WEXA");
    }
};

QTEST_GUILESS_MAIN(TestSaveFiles)
#include "tst_savefiles.moc"
