#include "cv_util.h"

int main(int argc, char **argv) { return CvUtilMain(argc, argv); }
