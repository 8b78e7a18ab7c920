#include "CoreForm.h"

#include "core/rules/ResponseWriter.h"

using namespace DocumentTexts;
using Field = Confirmation::Field;

namespace {
const QString Root = QStringLiteral("/Document-OrderResponse/");
const QString Header = Root + "OrderResponse-Header/";
const QString Item = Root + "OrderResponse-Lines/Line/Line-Item/";

// The text at this path of the response the form makes now.
QString written(Confirmation& form, const QString& path)
{
    const std::optional<XmlDocument> document = MakeOrderResponse(form);
    const XmlNode node = document ? document->selectSingleNode(path) : XmlNode();
    return !document ? "(no document)" : node.isNull() ? "(no element)" : node.text();
}

struct Respondent : OrderForm {
    using OrderForm::OrderForm;
    // A cell of line 1, or for a negative column the form's field -1 - column.
    void set(int column, const QString& text)
    {
        if (column < 0)
            form.setField(Field(-1 - column), text);
        else
            form.lines().setText(1, int16_t(column), text);
    }
};
} // namespace

class TestResponseWriter : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void lineElements_data()
    {
        columns<QString, QString, int, QString, QString, QString>("locale", "partner", "column",
                                                                  "cell", "element", "text");
        auto row = [](const char* name, int column, QString cell, QString element, QString text,
                      QString partner = BuyerIln, QString locale = "ru_RU") {
            QTest::newRow(name) << locale << partner << column << cell << element << text;
        };
        const QString status = "LineItemStatus", quantity = "QuantityToBeDelivered";
        const QString gross = "OrderedUnitGrossPrice", net = "OrderedUnitNetPrice";
        row("nothing confirmed is status 7", ColConfirmed, "0,0", status, "7");
        row("10 against 10,000 is status 5", ColConfirmed, "10", status, "5");
        row("more than ordered is status 3, not refused here", ColConfirmed, "12", status, "3");
        row("an empty confirmed quantity is status 3", ColConfirmed, "", status, "3");
        row("an empty confirmed quantity is written -1", ColConfirmed, "", quantity, "-1");
        row("a confirmed quantity is written with a point", ColConfirmed, "5,5", quantity, "5.500");
        row("a comma locale's price", ColPrice, "7,25", net, "7.250");
        row("a point locale's price", ColPrice, "7.25", net, "7.250", BuyerIln, "en_US");
        row("a unit name is lower-cased and mapped", ColUnit, "Штука", "UnitOfMeasure", "PCE");
        row("an upper-case name is mapped", ColUnit, "ЛИТР", "UnitOfMeasure", "LTR");
        row("an unknown name keeps its case", ColUnit, "Sztuka", "UnitOfMeasure", "Sztuka");
        row("the buyer shown prices gets a gross price", ColName, "", gross, "15.000",
            "4607149599998");
        row("any other buyer gets a net price", ColName, "", net, "12.500", "4607163319992");
        row("any other buyer gets no gross price", ColName, "", gross, "(no element)",
            "4607163319992");
    }

    void lineElements()
    {
        const auto [locale, partner, column, cell, element] =
            fetch<QString, QString, int, QString, QString>("locale", "partner", "column", "cell",
                                                           "element");
        freshProcess(locale);
        Respondent r(1, partner);
        r.set(column, cell);
        QTEST(written(r.form, Item + element), "text");
        QCOMPARE(written(r.form, Item + "OrderedQuantity"), "10.000");
    }

    void textsOfTheUser_data()
    {
        // `stored`: null when no document can be made
        columns<int, QString, QString>("column", "text", "stored");
        auto row = [](const char* name, int column, QString text, QString stored) {
            QTest::newRow(name) << column << text << stored;
        };
        const int remarks = -1 - int(Field::txtUwagi);
        row("a product name with & and < goes into CDATA", ColName, "Сыр & <масло>",
            "Сыр & <масло>");
        row("remarks with & and < go into CDATA, line breaks as line feeds", remarks,
            "a & b\r\n< c", "a & b\n< c");
        row("an EAN with & fails", ColEan, "4601&2", {});
        row("a product name that ends its CDATA section fails", ColName, "Сыр]]>масло", {});
        row("remarks that end their CDATA section fail", remarks, "см. ]]> ниже", {});
        row("an order date that is no date fails", -1 - int(Field::lblDataZamWart), "позавчера",
            {});
    }

    void textsOfTheUser()
    {
        const auto [column, text, stored] =
            fetch<int, QString, QString>("column", "text", "stored");
        Respondent r(1);
        r.set(column, text);
        const std::optional<XmlDocument> document = MakeOrderResponse(r.form);
        if (stored.isNull()) {
            QVERIFY(!document);
            QCOMPARE(r.messages.titles(), QStringList{"Произошла ошибка в MakeOrderResponse()"});
            QCOMPARE(r.messages.shown[0].icon, Message::Icon::Critical);
            return;
        }
        const QString element = column < 0 ? "Remarks" : "ItemDescription";
        QCOMPARE(written(r.form, (column < 0 ? Header : Item) + element), stored);
        QVERIFY(document->xml().contains(
            QStringLiteral("<%1><![CDATA[%2]]></%1>").arg(element, stored)));
    }
    void responseTypeCodes_data()
    {
        columns<int, QString>("type", "code");
        QTest::newRow("a change is written 4") << 0 << "4";
        QTest::newRow("a refusal is written 27") << 1 << "27";
        QTest::newRow("full acceptance is written 29") << 2 << "29";
    }
    void responseTypeCodes()
    {
        QFETCH(int, type);
        Respondent r(1);
        r.form.selectCboxTyp(type == 0 ? 1 : 0);
        r.form.selectCboxTyp(type);
        QTEST(written(r.form, Header + "ResponseType"), "code");
        QCOMPARE(written(r.form, Root + "OrderResponse-Summary/TotalLines"), "1");
    }
};

QTEST_GUILESS_MAIN(TestResponseWriter)
#include "tst_responsewriter.moc"
