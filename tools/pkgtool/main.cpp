// pkgtool: makes, lists, test-installs, signs and releases the packages that the installer
// downloads, and checks the sites that serve them.
#include "pkgtool/commands.h"
#include "pkgtool/tool_platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kUsage[] =
    "usage: pkgtool pack DIR -o PACKAGE [--root NAME] [--nest GLOB]... [--level N] [--format lzma|xz]\n"
    "       pkgtool list PACKAGE\n"
    "       pkgtool extract PACKAGE DIR\n"
    "       pkgtool keygen KEY\n"
    "       pkgtool sign KEY --game NAME FILE...\n"
    "       pkgtool verify KEY.pub --game NAME FILE...\n"
    "       pkgtool release DESCRIPTION GAME_DIR -o SITE_DIR\n"
    "       pkgtool check ADDRESS [--key KEY.pub --game NAME] [--full]\n"
    "       pkgtool --help\n";

const char kHelp[] =
    "\n"
    "Makes, lists, test-installs and signs the game packages that the installer downloads.\n"
    "\n"
    "pack DIR -o PACKAGE   packs every file below DIR, each entry named after DIR's own name (or\n"
    "                      NAME) followed by its path, encrypted and LZMA-compressed the way the\n"
    "                      installer decodes it. Files ending in \".7z\" are taken as they are:\n"
    "                      the installer decodes NAME.7z into NAME.r. Empty folders are kept.\n"
    "                      Prints the size= and sha256= lines of the package's [listN] section\n"
    "                      in the update list.\n"
    "  --root NAME         the top-level folder name of the entries (the installer drops it)\n"
    "  --nest GLOB         pre-compress matching files (they must end in \".r\") into nested\n"
    "                      \".7z\" files; a GLOB without \"/\" matches file names, one with \"/\"\n"
    "                      the path below DIR; * and ? do not match \"/\"; may be repeated\n"
    "  --level N           LZMA preset 0..9 (default 6)\n"
    "  --format lzma|xz    lzma (default): one LZMA-alone stream, read by every installer;\n"
    "                      xz: independent blocks of 4 MiB that the installer decodes on all\n"
    "                      its cores, read only by installers with the .xz decoder\n"
    "list PACKAGE          prints the package's directory as the installer sees it, in the\n"
    "                      order it writes the files: offset, size, lowered name\n"
    "extract PACKAGE DIR   installs a copy of PACKAGE into DIR exactly as the installer does\n"
    "keygen KEY            makes a signing key pair: KEY, the private key (readable by you alone;\n"
    "                      keep it off the web server), and KEY.pub, the public key the installer\n"
    "                      is built with. Never overwrites a key.\n"
    "sign KEY --game NAME FILE...\n"
    "                      writes FILE.sig beside each configuration or update list FILE: its\n"
    "                      ECDSA P-256 signature by KEY, for the installer whose product name\n"
    "                      (INSTALLER_PRODUCT_NAME) is NAME. A FILE with a [setup] section is a\n"
    "                      configuration, one with [list0] an update list; that section must hold\n"
    "                      expires=YYYY-MM-DD, a date to come (a warning when it is less than 14\n"
    "                      days ahead)\n"
    "verify KEY.pub --game NAME FILE...\n"
    "                      checks each FILE against its FILE.sig and the public key KEY.pub\n"
    "release DESCRIPTION GAME_DIR -o SITE_DIR\n"
    "                      packs GAME_DIR and writes below SITE_DIR/update what the installer\n"
    "                      fetches: the package, named after its content; the update list pinning\n"
    "                      it; the configuration naming the list; in GBK, with expires dates, and\n"
    "                      signed when DESCRIPTION names a key. Prints the files to upload, in the\n"
    "                      order to upload them. DESCRIPTION: UTF-8 \"field = value\" lines with\n"
    "                      game, executable, caption, size, uninstaller, site and optionally\n"
    "                      agreement, publisher, contact, key, product, lifetime, format\n"
    "                      (docs/publishing.md)\n"
    "check ADDRESS [--key KEY.pub --game NAME] [--full]\n"
    "                      fetches the site whose configuration is at ADDRESS (an ADDRESS ending\n"
    "                      in \"/\" means ADDRESS/update/tarnhold.txt) as the installer does and\n"
    "                      reports a line for each check: the configuration's fields, the list,\n"
    "                      with KEY.pub both signatures (for the installer whose product name is\n"
    "                      NAME) and the days until they expire, the\n"
    "                      package's Content-Length and Range answers; --full also downloads the\n"
    "                      package and compares its SHA-256. Linux build only (libcurl)\n"
    "\n"
    "Exit status: 0 on success, 1 when the command failed, 2 for a wrong command line.\n";

int Usage(const char* problem)
{
    fprintf(stderr, "pkgtool: %s (see pkgtool --help)\n", problem);
    return 2;
}

int UnknownOption(const char* option)
{
    fprintf(stderr, "pkgtool: unknown option %s (see pkgtool --help)\n", option);
    return 2;
}

int Pack(int argc, char** argv)
{
    PackOptions options;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (strcmp(arg, "-o") == 0 || strcmp(arg, "--output") == 0) {
            if (!hasValue)
                return Usage("-o needs the package's path");
            options.output = argv[++i];
        } else if (strcmp(arg, "--root") == 0) {
            if (!hasValue)
                return Usage("--root needs a name");
            options.root = argv[++i];
        } else if (strcmp(arg, "--nest") == 0) {
            if (!hasValue)
                return Usage("--nest needs a glob");
            options.nest.push_back(argv[++i]);
        } else if (strcmp(arg, "--level") == 0) {
            char* end = nullptr;
            long level = hasValue ? strtol(argv[++i], &end, 10) : -1;
            if (!hasValue || *end != '\0' || level < 0 || level > 9)
                return Usage("--level needs a number from 0 to 9");
            options.level = static_cast<int>(level);
        } else if (strcmp(arg, "--format") == 0) {
            if (!hasValue || !ParsePackageEncoding(argv[++i], &options.encoding))
                return Usage("--format needs lzma or xz");
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return UnknownOption(arg);
        } else if (options.folder.empty()) {
            options.folder = arg;
        } else {
            return Usage("pack takes one folder");
        }
    }
    if (options.folder.empty() || options.output.empty())
        return Usage("pack needs DIR and -o PACKAGE");
    return RunPack(options);
}

int Release(int argc, char** argv)
{
    std::vector<std::string> operands;
    std::string site;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "-o") == 0 || strcmp(argv[i], "--output") == 0) {
            if (i + 1 == argc)
                return Usage("-o needs the site's folder");
            site = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return UnknownOption(argv[i]);
        } else {
            operands.push_back(argv[i]);
        }
    }
    if (operands.size() != 2 || site.empty())
        return Usage("release takes DESCRIPTION GAME_DIR -o SITE_DIR");
    return RunRelease(operands[0], operands[1], site);
}

int Check(int argc, char** argv)
{
    std::string address, key, game;
    bool full = false;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--key") == 0) {
            if (i + 1 == argc)
                return Usage("--key needs the public key's path");
            key = argv[++i];
        } else if (strcmp(argv[i], "--game") == 0) {
            if (i + 1 == argc)
                return Usage("--game needs the installer's product name");
            game = GameNameArgument(argv[++i]);
        } else if (strcmp(argv[i], "--full") == 0) {
            full = true;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return UnknownOption(argv[i]);
        } else if (address.empty()) {
            address = argv[i];
        } else {
            return Usage("check takes one address");
        }
    }
    if (address.empty())
        return Usage("check needs the configuration's address");
    if (!key.empty() && game.empty())
        return Usage("check --key needs --game NAME: the game the signatures are made for");
    return RunCheck(address, key, game, full);
}

// "KEY --game NAME FILE..." (--game anywhere after KEY): false when the game or the files are
// missing.
bool KeyGameAndFiles(int argc, char** argv, std::string* game, std::vector<std::string>* files)
{
    for (int i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "--game") == 0 && i + 1 < argc)
            *game = GameNameArgument(argv[++i]);
        else
            files->push_back(argv[i]);
    }
    return !game->empty() && !files->empty();
}

int KeyCommand(int argc, char** argv)
{
    std::string game;
    std::vector<std::string> files;
    const bool sign = strcmp(argv[1], "sign") == 0;
    if (argc < 3 || !KeyGameAndFiles(argc, argv, &game, &files))
        return Usage(sign ? "sign takes a private key, --game NAME and files"
                          : "verify takes a public key, --game NAME and files");
    return sign ? RunSign(argv[2], game, files) : RunVerify(argv[2], game, files);
}

}  // namespace

int Fail(const std::string& message)
{
    fprintf(stderr, "pkgtool: %s\n", message.c_str());
    return 1;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("no command given");
    const char* command = argv[1];
    bool help = strcmp(command, "help") == 0;
    for (int i = 1; i < argc && !help; ++i)  // "pkgtool pack --help" asks for help too
        help = strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0;
    if (help) {
        printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (strcmp(command, "pack") == 0)
        return Pack(argc - 2, argv + 2);
    if (strcmp(command, "list") == 0)
        return argc == 3 ? RunList(argv[2]) : Usage("list takes one package");
    if (strcmp(command, "extract") == 0)
        return argc == 4 ? RunExtract(argv[2], argv[3]) : Usage("extract takes a package and a folder");
    if (strcmp(command, "keygen") == 0)
        return argc == 3 ? RunKeygen(argv[2]) : Usage("keygen takes the private key's path");
    if (strcmp(command, "sign") == 0 || strcmp(command, "verify") == 0)
        return KeyCommand(argc, argv);
    if (strcmp(command, "release") == 0)
        return Release(argc - 2, argv + 2);
    if (strcmp(command, "check") == 0)
        return Check(argc - 2, argv + 2);
    fprintf(stderr, "pkgtool: unknown command %s (see pkgtool --help)\n", command);
    return 2;
}
