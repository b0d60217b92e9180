#include "package/package_key.h"

#include "package/md5.h"

#include <cstring>

void DerivePackageKey(const char* password, unsigned char key[16])
{
    MD5_CTX md5;
    md5.Update(reinterpret_cast<const unsigned char*>(password), strlen(password));
    md5.Final(key);
    // The replacement comes first: a zero at index 0 ends as 0x11, a 0x11 there ends as 0.
    for (unsigned i = 0; i < 16; ++i) {
        if (key[i] == 0)
            key[i] = static_cast<unsigned char>(i);
        if (i % 3 == 0)
            key[i] ^= 0x11;
    }
}
