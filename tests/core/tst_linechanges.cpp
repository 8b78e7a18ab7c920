#include "CoreForm.h"

#include "core/actions/RemoveLine.h"
#include "core/rules/LineChanges.h"
#include "core/rules/ResponseType.h"
#include "core/session/ChangesModel.h"

#include <QAbstractItemModelTester>

using LineChanges::Kind;
using Filter = ChangesModel::Filter;

namespace {

// An order of 10, 20 and 30 pieces, confirmed on 2026-12-05 and answered with a change.
struct Confirmed : OrderForm {
    Confirmed() : OrderForm(3) { form.selectCboxTyp(ResponseType::Change); }
    void set(int16_t r, int16_t c, const QString& text) { form.lines().setText(r, c, text); }
    QList<int> listed(ChangesModel& model, std::optional<Filter> filter = {})
    {
        if (filter)
            model.setFilter(*filter);
        model.update();
        QList<int> rows;
        for (int r = 0; r < model.rowCount(); ++r)
            rows.append(model.lineRow(r));
        return rows;
    }
};

} // namespace

class TestLineChanges : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void judgesALine_data()
    {
        // Line 2 ordered 20 PCE for today; a null unit or date keeps the order's.
        columns<QString, QString, QString, Kind, bool, unsigned, QString>(
            "confirmed", "unit", "date", "kind", "failing", "warnings", "difference");
        auto row = [](const char* name, const char* confirmed, Kind kind, const char* difference,
                      unsigned warnings = 0, const char* unit = nullptr, bool failing = false,
                      const char* date = nullptr) {
            QTest::newRow(name) << confirmed << QString(unit) << QString(date) << kind << failing
                                << warnings << difference;
        };
        using enum LineChanges::Kind;
        using enum LineChanges::Warning;
        row("a line confirmed as ordered is not listed", "20,000", AsOrdered, "");
        row("fewer pieces are a change by the difference", "4", Changed, "-16,000");
        row("nothing confirmed is a refusal", "0,000", Refused, "-20,000");
        row("more than ordered fails the line check", "25,5", Changed, "+5,500", 0, "KGM", true);
        row("a negative quantity is warned though the line check lets it through", "-2", Changed,
            "-22,000", NegativeQuantity);
        row("half a piece is warned", "4,5", Changed, "-15,500", FractionOfPiece);
        row("a FractionOfPiece of a kilogram is no warning", "4,5", Changed, "-15,500", 0, "KGM");
        row("a unit named in words counts pieces as its code does", "4,5", Changed, "-15,500",
            FractionOfPiece, "Штука");
        row("a set is counted in pieces", "1.25", Changed, "-18,750", FractionOfPiece, "SET");
        row("a delivery before the confirmation date is warned on a line as ordered", "20",
            AsOrdered, "0,000", DateBeforeConfirmation, nullptr, false, "2026-12-04");
        row("the line's date in the user's short form is read as well", "20", AsOrdered, "0,000",
            DateBeforeConfirmation, nullptr, false, "01.12.2026");
        row("a delivery on the confirmation date is no warning", "20", AsOrdered, "", 0, nullptr,
            false, "2026-12-05");
        row("a blank unit fails the line check on a line as ordered", "20", AsOrdered, "0,000", 0,
            "  ", true);
        row("letters fail the check and have no difference", "много", Changed, "", 0, nullptr,
            true);
        row("a quantity of fifteen whole digits still adds up", "123456789012345", Changed,
            "+123456789012325,000", 0, "KGM", true);
        row("a difference beyond what adds up exactly is not guessed", "12345678901234567", Changed,
            "", 0, "KGM", true);
    }
    void judgesALine()
    {
        const auto [confirmed, unit, date] =
            fetch<QString, QString, QString>("confirmed", "unit", "date");
        Confirmed c;
        for (const auto& [column, text] :
             {std::pair{ColConfirmed, confirmed}, {ColUnit, unit}, {ColDeliveryDate, date}})
            if (!text.isNull())
                c.set(2, column, text);
        const LineChanges::Line line = LineChanges::of(c.form, 2);
        QTEST(line.kind, "kind");
        QTEST(line.failing, "failing");
        QTEST(line.warnings, "warnings");
        QTEST(line.difference, "difference");
        QCOMPARE(line.listed(), line.kind != Kind::AsOrdered || line.failing || line.warnings);
        QCOMPARE(line.ean, line.listed() ? QStringLiteral("4601234560002") : QString());
        // The other lines stay as ordered whatever happened to this one.
        ChangesModel model(c.form);
        QCOMPARE(c.listed(model), line.listed() ? QList<int>{2} : QList<int>{});
    }

    void aNoteNamesEverythingAboutTheLine()
    {
        using namespace LineChanges;
        Line line;
        line.kind = Kind::Changed;
        line.warnings = FractionOfPiece;
        QCOMPARE(line.note(), "Изменено, дробное количество штучного товара");
        line.kind = Kind::AsOrdered;
        line.warnings = 0;
        line.failing = true;
        QCOMPARE(line.note(), "Не проходит проверку строки");
        line.kind = Kind::Refused;
        line.warnings = NegativeQuantity | DateBeforeConfirmation;
        QCOMPARE(line.note(), "Отказ, не проходит проверку строки, отрицательное количество, дата "
                              "поставки раньше даты подтверждения");
    }

    void aDeliveryBeforeTheConfirmationDateIsWarnedInTheHeader()
    {
        Confirmed c;
        QVERIFY(!LineChanges::deliveryBeforeConfirmation(c.form)); // 2026-12-09 after 12-05
        c.form.setTxtDataPotw(QDate(2026, 12, 10));
        QVERIFY(LineChanges::deliveryBeforeConfirmation(c.form));
        c.form.setTxtDataPotw(QDate(2026, 12, 9));
        QVERIFY(!LineChanges::deliveryBeforeConfirmation(c.form));
    }

    // As lines change, are removed and the type changes, the model lists what differs under
    // each filter, with its counts.
    void theModelFollowsTheConfirmation()
    {
        Confirmed c;
        ChangesModel model(c.form);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(c.listed(model), QList<int>{});
        c.set(2, ColConfirmed, QStringLiteral("5,000"));
        c.set(3, ColConfirmed, QStringLiteral("0"));
        QCOMPARE(c.listed(model), (QList<int>{2, 3}));
        QCOMPARE(model.counts(), (ChangesModel::Counts{2, 1, 1, 0}));
        QCOMPARE((QList<int>{model.lineRow(2), model.lineRow(-1)}), (QList<int>{0, 0})); // outside
        QCOMPARE(model.data(model.index(0, ChangesModel::Difference)).toString(), "-15,000");

        QCOMPARE(c.listed(model, Filter::Changed), QList<int>{2});
        QCOMPARE(c.listed(model, Filter::Refused), QList<int>{3});
        c.set(1, ColConfirmed, QStringLiteral("0"));
        QCOMPARE(c.listed(model), (QList<int>{1, 3}));
        c.set(3, ColConfirmed, QStringLiteral("30"));
        QCOMPARE(c.listed(model), QList<int>{1});
        c.set(3, ColConfirmed, QStringLiteral("-1"));
        QCOMPARE(c.listed(model, Filter::Attention), QList<int>{3});
        QCOMPARE(model.counts(), (ChangesModel::Counts{3, 2, 1, 1}));

        // Removing line 1 renumbers the rows below it.
        model.setFilter(Filter::All);
        c.form.lines().setCurrentCell(1, ColConfirmed);
        btnUsun_Click(c.form);
        QCOMPARE(c.listed(model), (QList<int>{1, 2}));
        QCOMPARE(model.data(model.index(1, ChangesModel::LineNumber)).toString(), "3");

        c.form.selectCboxTyp(ResponseType::Accept);
        QCOMPARE(c.listed(model), QList<int>{});
        QCOMPARE(model.counts(), ChangesModel::Counts{});
    }

    void aChangeIsTakenOnceTheActionIsOver()
    {
        Confirmed c;
        ChangesModel model(c.form);
        c.set(1, ColConfirmed, QStringLiteral("1"));
        QCOMPARE(model.rowCount(), 0);
        QTRY_COMPARE(model.rowCount(), 1);
        // A new confirmation date is held against every line's date at once.
        c.form.lines().setText(2, ColDeliveryDate, QStringLiteral("2026-12-06"));
        QTRY_COMPARE(model.rowCount(), 1);
        c.form.setTxtDataPotw(QDate(2026, 12, 7));
        QTRY_COMPARE(model.rowCount(), 1); // the date copied into every line
        c.form.lines().setText(2, ColDeliveryDate, QStringLiteral("2026-12-06"));
        QTRY_COMPARE(model.rowCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLineChanges)
#include "tst_linechanges.moc"
