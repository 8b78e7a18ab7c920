#pragma once

#include "app/cli/CommandLine.h"
#include "core/form/Host.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// How the window is launched: the control's persisted properties, the page that hosts it
// (if any) and the property file. A platform's page launches it with a wexa-confirm: link
// that carries the page's address, the properties and a launch ticket, which the window
// redeems on the page's site for the page's cookie.
struct LaunchOptions {
    QMap<QString, QString> properties; // OnLine, DebugLevel, PartnerName, PartnerILN, PartnerURL
    std::optional<QString> pageUrl;
    // The page was named by the clerk (--page-url) or by a program that started its own
    // platform: no question whether its site may be trusted.
    bool pageTrusted = false;
    QString cookie;
    QString ticket;
    QString propertyFile;
    // Render the window to this PNG once it has started, then close it.
    QString screenshot;
    // Nobody at the screen: messages are printed and questions answered Yes.
    bool unattended = false;
    // --help or --version was given: nothing else is done.
    CommandLine::Request request = CommandLine::Request::None;

    static std::optional<LaunchOptions> parse(const QStringList& arguments, QString& error);
    static QString usage();
};

// The persisted properties: those given at launch, else those of the property file;
// written back into the property file.
class LaunchPropertyBag : public PropertyBag {
public:
    explicit LaunchPropertyBag(const LaunchOptions& options) : m_options(options) {}
    std::optional<QVariant> read(const QString& name) const override;
    bool write(const QString& name, const QVariant& value) override;

private:
    const LaunchOptions& m_options;
};
