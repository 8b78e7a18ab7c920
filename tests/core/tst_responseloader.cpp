#include "CoreForm.h"

#include "core/actions/LoadResponse.h"

using namespace DocumentTexts;
using Field = Confirmation::Field;

namespace {
const QString Incomplete = QStringLiteral("Переписанный документ подтверждения заказа неправилен "
                                          "либо не содержит всех необходимых позиций.");

struct Loader : OrderForm {
    Loader() { useParties(form); }
    LoadOutcome load(const QByteArray& bytes)
    {
        const QString path = folder.filePath(QStringLiteral("response.xml"));
        return writeFile(path, bytes) ? loadResponseFile(form, path) : LoadOutcome::Refused;
    }

    QTemporaryDir folder;
};
} // namespace

class TestResponseLoader : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void refusedFiles_data()
    {
        columns<QString, QString>("text", "message");
        auto row = [](const char* name, QString text, QString message) {
            QTest::newRow(name) << text << message;
        };
        row("an order instead of a response", order(1),
            "Документ не соответствует спецификации подтверждения закза.");
        row("a response of another seller",
            withText(response(1), "OrderResponse-Parties/Seller/ILN", "4600000000027"),
            "Неправильный ILN номер продавца");
        row("a response to another buyer",
            withText(response(1), "OrderResponse-Parties/Buyer/ILN", "4607000000024"),
            "Неправильный ILN номер покупателя.");
        row("no lines element", without(response(2), "OrderResponse-Lines"), Incomplete);
    }

    void refusedFiles()
    {
        const auto [text, message] = fetch<QString, QString>("text", "message");
        const LoadOutcome outcome =
            message == Incomplete ? LoadOutcome::Incomplete : LoadOutcome::Refused;
        Loader l;
        QCOMPARE(l.load(text.toUtf8()), outcome);
        const char* icon = outcome == LoadOutcome::Refused ? " (exclamation): " : " (critical): ";
        QCOMPARE(l.messages.lines(), QStringList{Messages::Title + icon + message});
        QVERIFY(l.form.isEnabled());
        if (outcome == LoadOutcome::Refused) {
            QCOMPARE(l.form.lineCount(), 0);
            QCOMPARE(l.form.field(Field::lblILNKupWart), "АО Покупатель");
        }
    }

    // The confirmation's date and the delivery's come from the response; one it lacks is
    // today's, and a missing delivery time is midnight.
    void loadedFiles_data()
    {
        // `column`: negative: the form's field -1 - column
        columns<QString, int, QString, int, bool>("text", "column", "shown", "type", "dated");
        auto row = [](const char* name, QString text, int column, QString shown, int type = 0,
                      bool dated = true) {
            QTest::newRow(name) << text << column << shown << type << dated;
        };
        const QString type = QStringLiteral("OrderResponse-Header/ResponseType");
        row("27 is a refusal", withText(response(1), type, "27"), ColConfirmed, "0", 1);
        row("29 is a full acceptance", withText(response(1), type, "29"), ColConfirmed, "10,000",
            2);
        row("remarks get carriage returns",
            withText(response(1), "OrderResponse-Header/Remarks",
                     "<![CDATA[первая\nвторая & третья]]>"),
            -1 - int(Field::txtUwagi), "первая\r\nвторая & третья");
        QString bare = response(1);
        for (const char* part :
             {"OrderResponseDate", "ExpectedDeliveryDate", "ExpectedDeliveryTime"})
            bare = without(bare, QStringLiteral("OrderResponse-Header/") + part);
        row("a response without dates is dated today and delivered at midnight", bare, ColConfirmed,
            "8,000", 0, false);
    }

    void loadedFiles()
    {
        const auto [text, column, dated] = fetch<QString, int, bool>("text", "column", "dated");
        Loader l;
        QCOMPARE(l.load(text.toUtf8()), LoadOutcome::Loaded);
        QVERIFY(l.messages.shown.isEmpty());
        QTEST(column < 0 ? l.form.field(Field(-1 - column))
                         : l.form.lines().text(1, int16_t(column)),
              "shown");
        QTEST(l.form.cboxTyp(), "type");
        QCOMPARE(std::tuple(*l.form.txtDataPotw(), *l.form.txtDataDost(), *l.form.txtCzasDost()),
                 dated ? std::tuple(QDate(2026, 12, 4), QDate(2026, 12, 9), QTime(8, 30))
                       : std::tuple(QDate(2026, 12, 5), QDate(2026, 12, 5), QTime(0, 0)));
    }
};

QTEST_GUILESS_MAIN(TestResponseLoader)
#include "tst_responseloader.moc"
