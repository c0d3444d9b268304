// The version of every program of the release, in the two forms a version resource wants.
#define MORVALETH_VERSION 2,6,0,0
#define MORVALETH_VERSION_TEXT "2, 6, 0, 0\0"
