// AES-128 decryption through lookup tables (the equivalent inverse cipher), and the choice
// between the tables and the processor's AES instructions.
#include "package/aes_decrypt.h"

#include "package/aes_instructions.h"

#include <atomic>
#include <mutex>

namespace {

struct AesTables {
    unsigned char sbox[256];
    unsigned char inverseSbox[256];
    uint32_t inverseRound[4][256];   // InvSubBytes + InvMixColumns of one state byte, per row
    uint32_t inverseMixKey[4][256];  // InvMixColumns of one round-key byte, per row
    uint32_t roundConstant[10];
};

AesTables g_tables;
// The tables are filled once; concurrent first key setups wait for that one filling.
std::once_flag g_tablesBuilt;

inline uint32_t RotateRight(uint32_t x, int n) { return n == 0 ? x : (x >> n) | (x << (32 - n)); }
inline unsigned char RotateLeft8(unsigned char x, int n)
{
    return static_cast<unsigned char>((x << n) | (x >> (8 - n)));
}
inline unsigned char Times2(unsigned char x)
{
    return static_cast<unsigned char>((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}
inline uint32_t Word(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3)
{
    return static_cast<uint32_t>(b0) << 24 | static_cast<uint32_t>(b1) << 16 |
           static_cast<uint32_t>(b2) << 8 | static_cast<uint32_t>(b3);
}
inline uint32_t LoadBe32(const unsigned char* p) { return Word(p[0], p[1], p[2], p[3]); }
inline void StoreBe32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}
inline unsigned Byte(uint32_t w, int index) { return (w >> (24 - 8 * index)) & 0xFF; }

void BuildTables()
{
    AesTables& t = g_tables;

    // Powers and logarithms of the generator 3 give multiplication in GF(2^8).
    unsigned char power[256];
    unsigned char logarithm[256] = {};
    unsigned char x = 1;
    for (int i = 0; i < 256; ++i) {
        power[i] = x;
        logarithm[x] = static_cast<unsigned char>(i);
        x = static_cast<unsigned char>(x ^ Times2(x));
    }
    auto multiply = [&](unsigned char a, unsigned char b) -> unsigned char {
        if (a == 0 || b == 0)
            return 0;
        return power[(logarithm[a] + logarithm[b]) % 255];
    };

    x = 1;
    for (int i = 0; i < 10; ++i) {
        t.roundConstant[i] = static_cast<uint32_t>(x) << 24;
        x = Times2(x);
    }

    // S-box: the multiplicative inverse followed by the affine map with the constant 0x63.
    t.sbox[0] = 0x63;
    t.inverseSbox[0x63] = 0;
    for (int i = 1; i < 256; ++i) {
        unsigned char inverse = power[255 - logarithm[i]];
        unsigned char s = static_cast<unsigned char>(inverse ^ RotateLeft8(inverse, 1) ^ RotateLeft8(inverse, 2) ^
                                                     RotateLeft8(inverse, 3) ^ RotateLeft8(inverse, 4) ^ 0x63);
        t.sbox[i] = s;
        t.inverseSbox[s] = static_cast<unsigned char>(i);
    }

    // One InvMixColumns column for a single byte: (0E, 09, 0D, 0B) times it, rotated per row.
    auto mixColumn = [&](unsigned char b) {
        return Word(multiply(0x0E, b), multiply(0x09, b), multiply(0x0D, b), multiply(0x0B, b));
    };
    for (int i = 0; i < 256; ++i) {
        uint32_t round = mixColumn(t.inverseSbox[i]);
        uint32_t key = mixColumn(static_cast<unsigned char>(i));
        for (int row = 0; row < 4; ++row) {
            t.inverseRound[row][i] = RotateRight(round, 8 * row);
            t.inverseMixKey[row][i] = RotateRight(key, 8 * row);
        }
    }
}

uint32_t SubWord(uint32_t w)
{
    const unsigned char* s = g_tables.sbox;
    return Word(s[Byte(w, 0)], s[Byte(w, 1)], s[Byte(w, 2)], s[Byte(w, 3)]);
}

uint32_t InverseMixColumn(uint32_t w)
{
    const auto& k = g_tables.inverseMixKey;
    return k[0][Byte(w, 0)] ^ k[1][Byte(w, 1)] ^ k[2][Byte(w, 2)] ^ k[3][Byte(w, 3)];
}

void DecryptWithTables(const AesDecryptContext* context, const unsigned char in[16], unsigned char out[16])
{
    const auto& td = g_tables.inverseRound;
    const unsigned char* inv = g_tables.inverseSbox;
    const uint32_t* rk = context->roundKeys;

    uint32_t s0 = LoadBe32(in) ^ rk[0];
    uint32_t s1 = LoadBe32(in + 4) ^ rk[1];
    uint32_t s2 = LoadBe32(in + 8) ^ rk[2];
    uint32_t s3 = LoadBe32(in + 12) ^ rk[3];

    for (int round = 1; round < context->rounds; ++round) {
        rk += 4;
        uint32_t t0 = td[0][Byte(s0, 0)] ^ td[1][Byte(s3, 1)] ^ td[2][Byte(s2, 2)] ^ td[3][Byte(s1, 3)] ^ rk[0];
        uint32_t t1 = td[0][Byte(s1, 0)] ^ td[1][Byte(s0, 1)] ^ td[2][Byte(s3, 2)] ^ td[3][Byte(s2, 3)] ^ rk[1];
        uint32_t t2 = td[0][Byte(s2, 0)] ^ td[1][Byte(s1, 1)] ^ td[2][Byte(s0, 2)] ^ td[3][Byte(s3, 3)] ^ rk[2];
        uint32_t t3 = td[0][Byte(s3, 0)] ^ td[1][Byte(s2, 1)] ^ td[2][Byte(s1, 2)] ^ td[3][Byte(s0, 3)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }

    rk += 4;
    StoreBe32(out, Word(inv[Byte(s0, 0)], inv[Byte(s3, 1)], inv[Byte(s2, 2)], inv[Byte(s1, 3)]) ^ rk[0]);
    StoreBe32(out + 4, Word(inv[Byte(s1, 0)], inv[Byte(s0, 1)], inv[Byte(s3, 2)], inv[Byte(s2, 3)]) ^ rk[1]);
    StoreBe32(out + 8, Word(inv[Byte(s2, 0)], inv[Byte(s1, 1)], inv[Byte(s0, 2)], inv[Byte(s3, 3)]) ^ rk[2]);
    StoreBe32(out + 12, Word(inv[Byte(s3, 0)], inv[Byte(s2, 1)], inv[Byte(s1, 2)], inv[Byte(s0, 3)]) ^ rk[3]);
}

}  // namespace

bool AesPathAvailable(AesPath path)
{
    // CPUID answers the same on every call; asking twice from two threads is harmless.
    static std::atomic<int> hasInstructions{-1};
    if (hasInstructions.load() < 0)
        hasInstructions.store(CpuHasAesInstructions() ? 1 : 0);
    return path == AesPath::Tables || hasInstructions.load() == 1;
}

void AesSetDecryptKey(AesDecryptContext* context, const unsigned char key[16])
{
    std::call_once(g_tablesBuilt, BuildTables);

    uint32_t w[44];
    for (int i = 0; i < 4; ++i)
        w[i] = LoadBe32(key + 4 * i);
    for (int i = 4; i < 44; ++i) {
        uint32_t temp = w[i - 1];
        if (i % 4 == 0)
            temp = SubWord((temp << 8) | (temp >> 24)) ^ g_tables.roundConstant[i / 4 - 1];
        w[i] = w[i - 4] ^ temp;
    }

    context->rounds = 10;
    for (int round = 0; round <= 10; ++round) {
        const uint32_t* source = &w[4 * (10 - round)];
        for (int j = 0; j < 4; ++j) {
            bool middle = round != 0 && round != 10;
            uint32_t value = middle ? InverseMixColumn(source[j]) : source[j];
            context->roundKeys[4 * round + j] = value;
            StoreBe32(&context->roundKeyBytes[16 * round + 4 * j], value);
        }
    }
    context->path = AesPathAvailable(AesPath::Instructions) ? AesPath::Instructions : AesPath::Tables;
}

bool AesSelectPath(AesDecryptContext* context, AesPath path)
{
    if (!AesPathAvailable(path))
        return false;
    context->path = path;
    return true;
}

void AesDecryptBlock(const AesDecryptContext* context, const unsigned char in[16], unsigned char out[16])
{
    if (context->path == AesPath::Instructions)
        AesNiDecryptBlocks(context->roundKeyBytes, in, out, 1);
    else
        DecryptWithTables(context, in, out);
}

void AesDecryptBlocks(const AesDecryptContext* context, unsigned char* data, size_t blocks)
{
    if (context->path == AesPath::Instructions) {
        AesNiDecryptBlocks(context->roundKeyBytes, data, data, blocks);
        return;
    }
    for (size_t i = 0; i < blocks; ++i)
        DecryptWithTables(context, data + 16 * i, data + 16 * i);
}
