#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Sonavell"));
    const QStringList args = QCoreApplication::arguments();
    std::fprintf(stderr, "usage: sonavell-cli COMMAND ...\n");
    return args.size() > 1 ? 2 : 0;
}
