#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::puts("usage: sorvane-cli COMMAND ...");
    return 0;
}
