#include "cli/CliApplication.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return CCliApplication().Run(QCoreApplication::arguments().mid(1));
}
