#include "RecordingMessages.h"
#include "TestSupport.h"
#include "documents_helpers.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "documents/ResponseLoader.h"
#include "documents/ResponseWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace DocumentTexts;
using Field = Confirmation::Field;

namespace {
const QString Incomplete = QStringLiteral("Переписанный документ подтверждения заказа неправилен "
                                          "либо не содержит всех необходимых позиций.");

// A control with the parties set, and a folder to save responses in.
struct Loader {
    Loader() { useParties(form); }
    LoadOutcome load(const QByteArray& bytes)
    {
        const QString path = folder.filePath(QStringLiteral("response.xml"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        file.close();
        return loadResponseFile(form, path);
    }
    LoadOutcome load(const QString& text) { return load(text.toUtf8()); }

    QTemporaryDir folder;
    RecordingMessages messages;
    Confirmation form{messages};
};
} // namespace

class TestResponseLoader : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void refusals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        auto row = [](const char* name, QString text, QString message) {
            QTest::newRow(name) << text << message;
        };
        const QString seller = QStringLiteral("OrderResponse-Parties/Seller");
        const QString buyer = QStringLiteral("OrderResponse-Parties/Buyer/ILN");
        row("a file that is not XML", "Подтверждение <не> готово",
            "Неправильный формат файла XML.");
        row("an order instead of a response", order(1),
            "Документ не соответствует спецификации подтверждения закза.");
        row("a response of another seller", withText(response(1), seller + "/ILN", "4600000000027"),
            "Неправильный ILN номер продавца");
        row("a response without a seller", without(response(1), seller),
            "Неправильный ILN номер продавца");
        row("a response to another buyer", withText(response(1), buyer, "4607000000024"),
            "Неправильный ILN номер покупателя.");
    }

    void refusals()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        Loader l;
        QCOMPARE(l.load(text), LoadOutcome::Refused);
        QCOMPARE(l.messages.texts(), QStringList{message});
        QCOMPARE(l.messages.shown[0].icon, Message::Icon::Exclamation);
        QCOMPARE(l.form.lineCount(), 0);
        QCOMPARE(l.form.field(Field::lblILNKupWart), "АО Покупатель");
        QVERIFY(l.form.isEnabled());
    }

    void incompleteDocuments_data()
    {
        QTest::addColumn<QString>("text");
        const QString header = QStringLiteral("OrderResponse-Header/");
        QTest::newRow("no response number") << without(response(2), header + "OrderResponseNumber");
        QTest::newRow("an empty response number")
            << withText(response(2), header + "OrderResponseNumber", "");
        QTest::newRow("no order number") << without(response(2), header + "OrderNumber");
        QTest::newRow("no order date") << without(response(2), header + "OrderDate");
        QTest::newRow("no lines element") << without(response(2), "OrderResponse-Lines");
        QTest::newRow("a delivery date that is no date")
            << withText(response(2), header + "ExpectedDeliveryDate", "в четверг");
    }

    void incompleteDocuments()
    {
        QFETCH(QString, text);
        Loader l;
        QCOMPARE(l.load(text), LoadOutcome::Incomplete);
        QCOMPARE(l.messages.texts(), QStringList{Incomplete});
        QCOMPARE(l.messages.shown[0].icon, Message::Icon::Critical);
        QCOMPARE(l.messages.shown[0].title, Messages::Title);
        QVERIFY(l.form.isEnabled());
    }

    void responseWithoutDateIsComplete()
    {
        Loader l;
        QCOMPARE(l.load(without(response(2), "OrderResponse-Header/OrderResponseDate")),
                 LoadOutcome::Loaded);
        QVERIFY(l.messages.shown.isEmpty());
        QCOMPARE(l.form.txtDataPotw(), QDate(2026, 12, 5));
        QCOMPARE(l.form.lineCount(), 2);
        QCOMPARE(l.form.field(Field::txtNrPotw), "Пз_ZK-1");
    }

    void deliveryPointNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString path = QStringLiteral("OrderResponse-Parties/DeliveryPoint/ILN");
        QTest::newRow("the file's delivery point is shown") << response(1) << DeliveryIln;
        QTest::newRow("without one the partner's number is shown")
            << without(response(1), path) << BuyerIln;
    }

    void deliveryPointNumber()
    {
        QFETCH(QString, text);
        Loader l;
        QCOMPARE(l.load(text), LoadOutcome::Loaded);
        QTEST(l.form.field(Field::lblILNMiejscaDostWart), "shown");
    }

    void unitOfMeasure_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("unit");
        QTest::newRow("a unit is taken as written")
            << line(with(responseItem(1), "UnitOfMeasure", "KGM")) << QString("KGM");
        QTest::newRow("a line without a unit gets PCE")
            << line(without(responseItem(1), "UnitOfMeasure")) << QString("PCE");
        QTest::newRow("a blank unit becomes PCE")
            << line(with(responseItem(1), "UnitOfMeasure", "   ")) << QString("PCE");
    }

    void unitOfMeasure()
    {
        QFETCH(QString, line);
        Loader l;
        QCOMPARE(l.load(response({line})), LoadOutcome::Loaded);
        QTEST(l.form.lines().text(1, ColUnit), "unit");
    }

    void responseType_data()
    {
        const QString path = QStringLiteral("OrderResponse-Header/ResponseType");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("confirmed");
        auto row = [&](const char* name, QString code, int type, QString confirmed) {
            QTest::newRow(name) << (code.isNull() ? without(response(1), path)
                                                  : withText(response(1), path, code))
                                << type << confirmed;
        };
        row("27 is a refusal", "27", 1, "0");
        row("29 is a full acceptance", "29", 2, "10,000");
        row("4 is a change", "4", 0, "8,000");
        row("no type is a change", QString(), 0, "8,000");
    }

    void responseType()
    {
        QFETCH(QString, text);
        Loader l;
        QCOMPARE(l.load(text), LoadOutcome::Loaded);
        QTEST(l.form.cboxTyp(), "type");
        QTEST(l.form.lines().text(1, ColConfirmed), "confirmed");
    }

    void remarksGetCarriageReturns()
    {
        Loader l;
        QCOMPARE(l.load(withText(response(1), "OrderResponse-Header/Remarks",
                                 "<![CDATA[первая\nвторая & третья]]>")),
                 LoadOutcome::Loaded);
        QCOMPARE(l.form.field(Field::txtUwagi), "первая\r\nвторая & третья");
    }

    void unreadableFile()
    {
        Loader l;
        QCOMPARE(loadResponseFile(l.form, l.folder.filePath("removed.xml")), LoadOutcome::Refused);
        QCOMPARE(l.messages.titles(),
                 QStringList({"Произошла ошибка вLoadDocument()", Messages::Title}));
        QCOMPARE(l.messages.shown[0].icon, Message::Icon::Critical);
        QCOMPARE(l.messages.shown[1].text, "Неправильный формат файла XML.");
    }

    void roundTrip()
    {
        RecordingMessages messages;
        Confirmation original(messages);
        useParties(original);
        QVERIFY(readOrder(original, order(3)));
        original.selectCboxTyp(0);
        original.lines().setText(2, ColConfirmed, "5,500");
        original.setTxtDataPotw(QDate(2026, 12, 7));
        original.setTxtDataDost(QDate(2026, 12, 11));
        const std::optional<XmlDocument> saved = MakeOrderResponse(original);
        QVERIFY(saved);

        Loader l;
        QCOMPARE(l.load(saved->toUtf8()), LoadOutcome::Loaded);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(l.messages.shown.isEmpty());
        for (Field f : {Field::txtNrPotw, Field::lblNrZamWart, Field::lblDataZamWart,
                        Field::lblILNMiejscaDostWart, Field::txtUwagi})
            QCOMPARE(l.form.field(f), original.field(f));
        QCOMPARE(l.form.txtDataPotw(), original.txtDataPotw());
        QCOMPARE(l.form.txtDataDost(), original.txtDataDost());
        QCOMPARE(l.form.txtCzasDost(), original.txtCzasDost());
        QCOMPARE(l.form.cboxTyp(), 0);
        QCOMPARE(l.form.lineCount(), 3);
        // A response carries no pack size nor package id, and the order has neither.
        for (int16_t r = 1; r <= 3; ++r) {
            for (int16_t c = 0; c <= ColPackSize; ++c)
                QCOMPARE(l.form.lines().text(r, c), original.lines().text(r, c));
        }
        const std::optional<XmlDocument> again = MakeOrderResponse(l.form);
        QVERIFY(again);
        QCOMPARE(again->toUtf8(), saved->toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestResponseLoader)
#include "tst_responseloader.moc"
