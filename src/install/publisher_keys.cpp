// The publisher keys built into one installer executable: the build compiles this file once per key
// table (the shipping installer's from INSTALLER_PUBLISHER_KEYS, the tests'), with each key's X||Y
// as 128 hex digits in a definition. The keys stay readable text in the executable, so a publisher
// can find which are built in with a text search. No definition: no keys, no signed delivery.
// The game they sign for is the product name in UTF-8, given as escaped bytes so that the
// compiler's conversion of texts to GBK leaves it alone.
#include "install/publisher_trust.h"

#ifndef INSTALLER_PUBLISHER_KEY_1
#define INSTALLER_PUBLISHER_KEY_1 ""
#endif
#ifndef INSTALLER_PUBLISHER_KEY_2
#define INSTALLER_PUBLISHER_KEY_2 ""
#endif
#ifndef INSTALLER_PUBLISHER_GAME
#define INSTALLER_PUBLISHER_GAME ""
#endif

const char kPublisherKeys[kMaxPublisherKeys][kPublisherKeyHexSize] = {
    INSTALLER_PUBLISHER_KEY_1,
    INSTALLER_PUBLISHER_KEY_2,
};

const char kPublisherGame[] = INSTALLER_PUBLISHER_GAME;
