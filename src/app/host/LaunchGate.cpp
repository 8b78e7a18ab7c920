#include "app/host/LaunchGate.h"

#include "app/host/FirstStartDialog.h"
#include "app/host/LaunchTicket.h"
#include "core/session/TrustedOrigins.h"
#include "core/session/WorkingFolder.h"

#include <QUrl>

LaunchGate::LaunchGate(LaunchOptions& options, const RequestDeadlines& deadlines,
                       MessageSink& messages, QWidget* window, bool someoneAtScreen)
    : m_options(options), m_deadlines(deadlines), m_messages(messages), m_window(window),
      m_someoneAtScreen(someoneAtScreen)
{
}

QString LaunchGate::origin() const
{
    return m_options.pageUrl ? TrustedOrigins::originOf(QUrl(*m_options.pageUrl)) : QString();
}

void LaunchGate::tell(const QString& text)
{
    m_messages.show({Messages::Title, text, Message::Icon::Exclamation});
}

bool LaunchGate::pass()
{
    if (m_options.pageUrl && !m_options.pageTrusted && !trusted())
        return false;
    if (!firstStart())
        return false;
    // Without a working folder the start-up stops before it needs the page's cookie: the
    // ticket stays unspent.
    if (m_options.ticket.isEmpty() || WorkingFolder::read().isEmpty())
        return true;
    return redeemTicket();
}

bool LaunchGate::trusted()
{
    TrustedOrigins origins;
    const QString site = origin();
    const QString shown = TrustedOrigins::shown(site);
    switch (origins.verdict(site)) {
    case TrustedOrigins::Verdict::Trusted:
        return true;
    case TrustedOrigins::Verdict::Refused:
        tell(QStringLiteral("Открытие заказов с сайта %1 было отклонено. Разрешить его можно в "
                            "меню «Файл → Доверенные сайты…».")
                 .arg(shown));
        return false;
    case TrustedOrigins::Verdict::Unknown:
        break;
    }
    if (!m_someoneAtScreen) {
        tell(QStringLiteral("Сайт %1 не входит в число доверенных, а спросить некого: ссылка "
                            "не открыта.")
                 .arg(shown));
        return false;
    }
    const Answer answer = m_messages.show(
        {Messages::Title,
         QStringLiteral("Открыть заказы с сайта %1?\n\nС этого сайта заказы ещё не открывались. "
                        "Отвечайте «Да», только если это ваша торговая площадка: редактор "
                        "получит с неё заказ и отправит ей ответ. Ответ запомнится.")
             .arg(shown),
         Message::Icon::Question, Message::Buttons::YesNo, true});
    const bool yes = answer == Answer::Yes;
    origins.remember(site, yes);
    return yes;
}

bool LaunchGate::firstStart()
{
    if (!m_someoneAtScreen || !WorkingFolder::read().isEmpty())
        return true;
    FirstStartDialog dialog(m_window);
    while (dialog.exec() == QDialog::Accepted) {
        QString error;
        if (Setup::prepare(dialog.preparation(), error))
            return true;
        dialog.showError(QStringLiteral("Рабочая папка не подготовлена: %1.").arg(error));
    }
    // Given up on a link, the launch ends with nothing written; a window opened without
    // one goes on to the control's own word on the missing folder.
    return !m_options.pageUrl;
}

bool LaunchGate::redeemTicket()
{
    const LaunchTicket::Redeemed redeemed =
        LaunchTicket::redeem(m_options.pageUrl.value_or(QString()), m_options.ticket, m_deadlines);
    m_options.ticket.clear();
    if (redeemed.cookie) {
        m_options.cookie = *redeemed.cookie;
        return true;
    }
    tell(QStringLiteral("Не удалось открыть подтверждение заказа: %1.\nОткройте страницу заказа "
                        "на площадке ещё раз и нажмите кнопку «Открыть подтверждение заказа».")
             .arg(redeemed.refusal));
    return false;
}
