#include "gui/app/aboutlinks.h"

#include <QRegularExpression>
#include <QUrlQuery>

namespace sonavell {

QString configuredHomepage()
{
    return QStringLiteral(SONAVELL_HOMEPAGE);
}

QString configuredSupportAddress()
{
    return QStringLiteral(SONAVELL_SUPPORT_ADDRESS);
}

QUrl contactPage()
{
    return QUrl(QStringLiteral("qrc:/help/contact.html"));
}

QUrl homepageTarget(const QString &configured)
{
    const QUrl url(configured.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("https") || scheme == QLatin1String("http")))
        return url;
    return contactPage();
}

QUrl supportTarget(const QString &configured)
{
    const QString address = configured.trimmed();
    // One plain address: name@host, nothing that would add recipients or headers.
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at <= 0 || at != address.lastIndexOf(QLatin1Char('@')) || at == address.size() - 1
        || address.contains(QRegularExpression(QStringLiteral("[\\s,;?&<>\"]"))))
        return contactPage();
    QUrl mail;
    mail.setScheme(QStringLiteral("mailto"));
    mail.setPath(address);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QStringLiteral("Sonavell Version 1.15"));
    mail.setQuery(query);
    return mail;
}

} // namespace sonavell
