#include "ServerApp.h"

int main(int argc, char *argv[])
{
    return runServer(argc, argv);
}
