#include "RecordingMessages.h"
#include "TestSupport.h"
#include "documents_helpers.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "documents/ResponseWriter.h"

#include <QTest>

using namespace DocumentTexts;
using Field = Confirmation::Field;

namespace {
const QString Header = QStringLiteral("/Document-OrderResponse/OrderResponse-Header/");
const QString Parties = QStringLiteral("/Document-OrderResponse/OrderResponse-Parties/");
const QString Item = QStringLiteral("/Document-OrderResponse/OrderResponse-Lines/Line/Line-Item/");
const QString TotalLines =
    QStringLiteral("/Document-OrderResponse/OrderResponse-Summary/TotalLines");

// The text at `path` of the response the form makes now.
QString written(Confirmation& form, const QString& path)
{
    const std::optional<XmlDocument> document = MakeOrderResponse(form);
    if (!document)
        return QStringLiteral("(no document)");
    const XmlNode node = document->selectSingleNode(path);
    return node.isNull() ? QStringLiteral("(no element)") : node.text();
}

// A control that has read an order of `lines` standard lines, ready to respond.
struct Respondent {
    explicit Respondent(int lines = 1, const QString& partner = BuyerIln)
    {
        useParties(form, partner);
        readOrder(form, order(lines));
    }
    RecordingMessages messages;
    Confirmation form{messages};
};
} // namespace

class TestResponseWriter : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void headerAndParties()
    {
        Respondent r(2);
        r.form.setTxtDataPotw(QDate(2026, 12, 7));
        const QList<QPair<QString, QString>> expected = {
            {Header + "OrderResponseNumber", "Пз_ZK-1"},
            {Header + "OrderResponseDate", "2026-12-07"},
            {Header + "ExpectedDeliveryDate", "2026-12-09"},
            {Header + "ExpectedDeliveryTime", "08:30"},
            {Header + "OrderNumber", "ZK-1"},
            {Header + "OrderDate", "2026-12-03"},
            {Header + "ResponseType", "29"},
            {Header + "Remarks", "Звонить за час"},
            {Parties + "Buyer/ILN", BuyerIln},
            {Parties + "Seller/ILN", SellerIln},
            {Parties + "DeliveryPoint/ILN", DeliveryIln},
            {TotalLines, "2"},
            {"/Document-OrderResponse/OrderResponse-Lines/Line[2]/Line-Item/LineNumber", "2"}};
        for (const auto& [path, text] : expected)
            QCOMPARE(written(r.form, path), text);
        QVERIFY(r.messages.shown.isEmpty());
    }

    void headerChoices_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("dated");
        QTest::addColumn<QString>("orderDateLabel");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("responseDate");
        QTest::addColumn<QString>("orderDate");
        auto row = [](const char* name, int type, bool dated, QString label, QString code,
                      QString responseDate, QString orderDate) {
            QTest::newRow(name) << type << dated << label << code << responseDate << orderDate;
        };
        row("refusal is type 27", 1, true, "2026-12-03", "27", "2026-12-05", "2026-12-03");
        row("no type chosen is type 4", -1, true, "2026-12-03", "4", "2026-12-05", "2026-12-03");
        row("a confirmation date switched off is written empty", 2, false, "2026-12-03", "29", "",
            "2026-12-03");
        row("an order date in the user's short form is rewritten", 2, true, "03.12.2026", "29",
            "2026-12-05", "2026-12-03");
        row("an empty order date is written empty", 2, true, "", "29", "2026-12-05", "");
    }

    void headerChoices()
    {
        QFETCH(int, type);
        QFETCH(bool, dated);
        QFETCH(QString, orderDateLabel);
        Respondent r;
        r.form.selectCboxTyp(type);
        if (!dated)
            r.form.setTxtDataPotw(std::nullopt);
        r.form.setField(Field::lblDataZamWart, orderDateLabel);
        QTEST(written(r.form, Header + "ResponseType"), "code");
        QTEST(written(r.form, Header + "OrderResponseDate"), "responseDate");
        QTEST(written(r.form, Header + "OrderDate"), "orderDate");
        QVERIFY(r.messages.shown.isEmpty());
    }

    void lineStatus_data()
    {
        QTest::addColumn<QString>("ordered");
        QTest::addColumn<QString>("confirmed");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("confirmedXml");
        auto row = [](const char* name, QString ordered, QString confirmed, QString status,
                      QString xml) {
            QTest::newRow(name) << ordered << confirmed << status << xml;
        };
        row("nothing confirmed as 0", "10,000", "0", "7", "0.000");
        row("nothing confirmed as 0,0", "10,000", "0,0", "7", "0.000");
        row("nothing confirmed as 0,000", "10,000", "0,000", "7", "0.000");
        row("10 against 10,000 is as ordered", "10,000", "10", "5", "10.000");
        row("equal after rounding to three decimals", "10,000", "10,0004", "5", "10.000");
        row("more than ordered is not refused here", "10,000", "12,000", "3", "12.000");
        row("an empty confirmed quantity", "10,000", "", "3", "-1");
        row("both quantities empty", "", "", "5", "-1");
    }

    void lineStatus()
    {
        QFETCH(QString, ordered);
        QFETCH(QString, confirmed);
        Respondent r;
        r.form.lines().setText(1, ColOrdered, ordered);
        r.form.lines().setText(1, ColConfirmed, confirmed);
        QTEST(written(r.form, Item + "LineItemStatus"), "status");
        QTEST(written(r.form, Item + "QuantityToBeDelivered"), "confirmedXml");
    }

    void lineValues_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, QString locale, int column, QString cell, QString text) {
            QTest::newRow(name) << locale << column << cell
                                << (column == ColUnit ? "UnitOfMeasure" : "OrderedUnitNetPrice")
                                << text;
        };
        row("a comma locale's price", "ru_RU", ColPrice, "7,25", "7.250");
        row("a point locale's price", "en_US", ColPrice, "7.25", "7.250");
        row("a large price has no grouping", "en_US", ColPrice, "1234567", "1234567.000");
        row("a price is rounded half up", "ru_RU", ColPrice, "0,0005", "0.001");
        row("an empty price", "ru_RU", ColPrice, "", "-1");
        row("a unit name is lower-cased and mapped", "ru_RU", ColUnit, "Штука", "PCE");
        row("an upper-case name is mapped", "ru_RU", ColUnit, "ЛИТР", "LTR");
        row("a code passes through", "ru_RU", ColUnit, "PCE", "PCE");
        row("an unknown name keeps its case", "ru_RU", ColUnit, "Sztuka", "Sztuka");
        row("an empty unit stays empty", "ru_RU", ColUnit, "", "");
    }

    void lineValues()
    {
        QFETCH(QString, locale);
        QFETCH(int, column);
        QFETCH(QString, cell);
        QFETCH(QString, element);
        freshProcess(locale);
        Respondent r;
        r.form.lines().setText(1, int16_t(column), cell);
        QTEST(written(r.form, Item + element), "text");
        QCOMPARE(written(r.form, Item + "OrderedQuantity"), "10.000");
    }

    void priceElement_data()
    {
        QTest::addColumn<QString>("partner");
        QTest::addColumn<QString>("gross");
        QTest::addColumn<QString>("net");
        const QString none = QStringLiteral("(no element)");
        QTest::newRow("the buyer shown prices gets a gross price")
            << "4607149599998" << QString("15.000") << none;
        QTest::newRow("the other gross buyer gets a gross price")
            << "4607162819998" << QString("15.000") << none;
        QTest::newRow("any other buyer gets a net price")
            << "4607163319992" << none << QString("12.500");
    }

    void priceElement()
    {
        QFETCH(QString, partner);
        Respondent r(1, partner);
        QTEST(written(r.form, Item + "OrderedUnitGrossPrice"), "gross");
        QTEST(written(r.form, Item + "OrderedUnitNetPrice"), "net");
    }

    void textsInsideCdata_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("stored");
        QTest::newRow("a product name with & and <")
            << int(ColName) << QString("Сыр & <масло>") << Item + "ItemDescription"
            << QString("Сыр & <масло>");
        QTest::newRow("remarks with & and <")
            << -1 << QString("a & b < c") << Header + "Remarks" << QString("a & b < c");
        QTest::newRow("a line break in the remarks reaches the document as a line feed")
            << -1 << QString("one\r\ntwo") << Header + "Remarks" << QString("one\ntwo");
    }

    void textsInsideCdata()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, element);
        QFETCH(QString, stored);
        Respondent r;
        if (column < 0)
            r.form.setField(Field::txtUwagi, text);
        else
            r.form.lines().setText(1, int16_t(column), text);
        QCOMPARE(written(r.form, element), stored);
        const QString name = element.section('/', -1);
        QVERIFY(MakeOrderResponse(r.form)->xml().contains(
            QStringLiteral("<%1><![CDATA[%2]]></%1>").arg(name, stored)));
    }

    void buildFailures_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("an EAN with &") << int(ColEan) << 0 << QString("4601&2");
        QTest::newRow("a product name that ends its CDATA section")
            << int(ColName) << 0 << QString("Сыр]]>масло");
        QTest::newRow("remarks that end their CDATA section")
            << -1 << int(Field::txtUwagi) << QString("см. ]]> ниже");
        QTest::newRow("an order date that is no date")
            << -1 << int(Field::lblDataZamWart) << QString("позавчера");
    }

    void buildFailures()
    {
        QFETCH(int, column);
        QFETCH(int, field);
        QFETCH(QString, text);
        Respondent r;
        if (column < 0)
            r.form.setField(Field(field), text);
        else
            r.form.lines().setText(1, int16_t(column), text);
        QVERIFY(!MakeOrderResponse(r.form));
        QCOMPARE(r.messages.titles(), QStringList{"Произошла ошибка в MakeOrderResponse()"});
        QCOMPARE(r.messages.shown[0].icon, Message::Icon::Critical);
    }

    void noLines()
    {
        Respondent r(0);
        QCOMPARE(r.form.lineCount(), 0);
        QCOMPARE(written(r.form, "/Document-OrderResponse/OrderResponse-Lines"), "");
        QCOMPARE(written(r.form, "/Document-OrderResponse/OrderResponse-Lines/Line"),
                 "(no element)");
        QCOMPARE(written(r.form, TotalLines), "");
        QCOMPARE(written(r.form, Header + "OrderResponseNumber"), "Пз_ZK-1");
        QCOMPARE(written(r.form, Parties + "Buyer/ILN"), BuyerIln);
    }
};

QTEST_GUILESS_MAIN(TestResponseWriter)
#include "tst_responsewriter.moc"
