#include "app/app_resources.h"

#include <QCoreApplication>

static void init_icons()
{
    Q_INIT_RESOURCE(icons);
}

void set_app_identity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("vantrel.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Brennix"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.11.0"));
}

void init_app_resources()
{
    init_icons();
}
