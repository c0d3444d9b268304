// Compiled with one layer's include roots alone: the header that check-layers names must be
// out of sight for a layer beneath it.
#include MORVALETH_PROBE_HEADER
