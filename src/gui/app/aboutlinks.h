#pragma once

#include <QString>
#include <QUrl>

namespace sonavell {

// Where Help's "Visite homepage->" and "Support" lead. The addresses are the ones this copy was
// built with (SONAVELL_HOMEPAGE, SONAVELL_SUPPORT_ADDRESS); where none was given, or it is not
// usable, the bundled help's contact page stands in.
QString configuredHomepage();
QString configuredSupportAddress();

QUrl contactPage();
// An http or https address as it is.
QUrl homepageTarget(const QString &configured = configuredHomepage());
// A new mail to the address, its subject naming the program and its version.
QUrl supportTarget(const QString &configured = configuredSupportAddress());

} // namespace sonavell
