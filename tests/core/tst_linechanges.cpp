#include "CoreForm.h"

#include "core/actions/RemoveLine.h"
#include "core/rules/LineChanges.h"
#include "core/rules/ResponseType.h"
#include "core/session/ChangesModel.h"

#include <QAbstractItemModelTester>

using namespace DocumentTexts;
using LineChanges::Kind;
using Filter = ChangesModel::Filter;

namespace {

// An order of three lines ordering 10, 20 and 30 pieces, confirmed on 2026-12-05 and
// answered with a change.
struct Confirmed : OrderForm {
    Confirmed() : OrderForm(3) { form.selectCboxTyp(ResponseType::Change); }
    void set(int row, int16_t column, const QString& text)
    {
        form.lines().setText(int16_t(row), column, text);
    }
    QList<int> listed(ChangesModel& model)
    {
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
        // Line 2 ordered 20 PCE for today; a null unit or date keeps the order's, and a listed
        // line is one that differs or is warned.
        columns<QString, QString, QString, bool, Kind, bool, unsigned, QString>(
            "confirmed", "unit", "date", "listed", "kind", "failing", "warnings", "difference");
        auto row = [](const char* name, const char* confirmed, Kind kind, const char* difference,
                      bool failing = false, unsigned warnings = 0, const char* unit = nullptr,
                      const char* date = nullptr, bool listed = true) {
            QTest::newRow(name) << confirmed << QString(unit) << QString(date) << listed << kind
                                << failing << warnings << difference;
        };
        const unsigned negative = LineChanges::NegativeQuantity;
        const unsigned fraction = LineChanges::FractionOfPiece;
        const unsigned early = LineChanges::DateBeforeConfirmation;
        row("a line confirmed as ordered is not listed", "20,000", Kind::AsOrdered, "", false, 0,
            nullptr, nullptr, false);
        row("fewer pieces are a change by the difference", "4", Kind::Changed, "-16,000");
        row("nothing confirmed is a refusal", "0,000", Kind::Refused, "-20,000");
        row("more than ordered fails the line check", "25,5", Kind::Changed, "+5,500", true, 0,
            "KGM");
        row("a negative quantity is warned though the line check lets it through", "-2",
            Kind::Changed, "-22,000", false, negative);
        row("half a piece is warned", "4,5", Kind::Changed, "-15,500", false, fraction);
        row("a fraction of a kilogram is no warning", "4,5", Kind::Changed, "-15,500", false, 0,
            "KGM");
        row("a unit named in words counts pieces as its code does", "4,5", Kind::Changed, "-15,500",
            false, fraction, "Штука");
        row("a set is counted in pieces", "1.25", Kind::Changed, "-18,750", false, fraction, "SET");
        row("a delivery before the confirmation date is warned on a line as ordered", "20",
            Kind::AsOrdered, "0,000", false, early, nullptr, "2026-12-04");
        row("the line's date in the user's short form is read as well", "20", Kind::AsOrdered,
            "0,000", false, early, nullptr, "01.12.2026");
        row("a delivery on the confirmation date is no warning", "20", Kind::AsOrdered, "", false,
            0, nullptr, "2026-12-05", false);
        row("a blank unit fails the line check on a line as ordered", "20", Kind::AsOrdered,
            "0,000", true, 0, "  ");
        row("letters fail the check and have no difference", "много", Kind::Changed, "", true);
        row("a quantity of fifteen whole digits still adds up", "123456789012345", Kind::Changed,
            "+123456789012325,000", true, 0, "KGM");
        row("a difference beyond what adds up exactly is not guessed", "12345678901234567",
            Kind::Changed, "", true, 0, "KGM");
    }
    void judgesALine()
    {
        const auto [confirmed, unit, date] =
            fetch<QString, QString, QString>("confirmed", "unit", "date");
        Confirmed c;
        c.set(2, ColConfirmed, confirmed);
        if (!unit.isNull())
            c.set(2, ColUnit, unit);
        if (!date.isNull())
            c.set(2, ColDeliveryDate, date);
        const LineChanges::Line line = LineChanges::of(c.form, 2);
        QTEST(line.listed(), "listed");
        QTEST(line.kind, "kind");
        QTEST(line.failing, "failing");
        QTEST(line.warnings, "warnings");
        QTEST(line.difference, "difference");
        QCOMPARE(line.ean, line.listed() ? QStringLiteral("4601234560002") : QString());
        // The other lines stay as ordered whatever happened to this one.
        ChangesModel model(c.form);
        QCOMPARE(c.listed(model), line.listed() ? QList<int>{2} : QList<int>{});
    }

    void aNoteNamesEverythingAboutTheLine()
    {
        LineChanges::Line changed;
        changed.kind = Kind::Changed;
        changed.warnings = LineChanges::FractionOfPiece;
        QCOMPARE(changed.note(), QStringLiteral("Изменено, дробное количество штучного товара"));
        LineChanges::Line asOrdered;
        asOrdered.failing = true;
        QCOMPARE(asOrdered.note(), QStringLiteral("Не проходит проверку строки"));
        LineChanges::Line line;
        line.kind = Kind::Refused;
        line.failing = true;
        line.warnings = LineChanges::NegativeQuantity | LineChanges::DateBeforeConfirmation;
        QCOMPARE(line.note(), QStringLiteral("Отказ, не проходит проверку строки, отрицательное "
                                             "количество, дата поставки раньше даты "
                                             "подтверждения"));
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

    // GIVEN a model over the confirmation, WHEN lines change one by one, are removed and
    // the type is changed, THEN it lists what differs under each filter, with its counts.
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
        QCOMPARE(model.lineRow(2), 0); // past the last row of the model
        QCOMPARE(model.lineRow(-1), 0);
        QCOMPARE(model.data(model.index(0, ChangesModel::Difference)).toString(), "-15,000");

        model.setFilter(Filter::Changed);
        QCOMPARE(c.listed(model), QList<int>{2});
        model.setFilter(Filter::Refused);
        QCOMPARE(c.listed(model), QList<int>{3});
        c.set(1, ColConfirmed, QStringLiteral("0"));
        QCOMPARE(c.listed(model), (QList<int>{1, 3}));
        c.set(3, ColConfirmed, QStringLiteral("30"));
        QCOMPARE(c.listed(model), QList<int>{1});
        model.setFilter(Filter::Attention);
        c.set(3, ColConfirmed, QStringLiteral("-1"));
        QCOMPARE(c.listed(model), QList<int>{3});
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
