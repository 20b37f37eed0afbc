/* cv_mon [all]: the adapter's statistics, live, until a key is pressed. */
#include "monitor.h"

int main(int argc, char **argv) { return MonitorMain(argc, argv); }
