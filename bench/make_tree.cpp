// Writes a client-data tree as a large practice has it, the same for the same arguments:
//   make_tree ROOT CLIENTS SESSIONS_PER_CLIENT
// Profile files of 1-4 KB with CRLF line ends and Windows-1252 names, about 30 % of the
// sessions waiting for the patch, some one folder deeper, the session file in three
// spellings, and unrelated folders and files between them.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::uint64_t state = 0x9E3779B97F4A7C15ULL;

std::uint32_t Next(std::uint32_t below) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state % below);
}

// Names as the suite stores them: Windows-1252 in the files, UTF-8 in folder names here.
struct Name {
    const char* cp1252;
    const char* utf8;
};
constexpr Name kFirstNames[] = {{"J\xFCrgen", "J\xC3\xBCrgen"}, {"Anna", "Anna"},
                                {"S\xF6ren", "S\xC3\xB6ren"},   {"J\xF6rg", "J\xC3\xB6rg"},
                                {"B\xE4rbel", "B\xC3\xA4rbel"}, {"Lea", "Lea"},
                                {"G\xFCnter", "G\xC3\xBCnter"}, {"Mia", "Mia"}};
constexpr Name kLastNames[] = {{"M\xFCller", "M\xC3\xBCller"}, {"Schr\xF6" "der", "Schr\xC3\xB6" "der"},
                               {"Wei\xDF", "Wei\xC3\x9F"},      {"Kr\xE4mer", "Kr\xC3\xA4mer"},
                               {"Becker", "Becker"},            {"H\xF6\xDF", "H\xC3\xB6\xC3\x9F"}};
constexpr const char* kShortForms[] = {"UVJYX0RfU1RBTkRBUkRfX0tGMQ==", "UVJYX0RfU1RBTkRBUkRfX0tGMg==",
                                       "UVJYX0RfU1RBTkRBUkRfX0tGMw=="};

void Fail(const std::string& what) {
    std::perror(what.c_str());
    std::exit(1);
}

void MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Fail(path);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0)
        Fail(path);
}

// Further keys in several sections until the file has reached its size.
void AddFiller(std::string& text, std::size_t size) {
    static constexpr const char* kSections[] = {"Einstellungen", "Ergebnisse", "Protokoll", "Notizen"};
    const std::uint32_t keys = 20 + Next(41);
    for (std::uint32_t k = 0; k < keys || text.size() < size; ++k) {
        if (k % 12 == 0) text += std::string("[") + kSections[(k / 12) % 4] + "]\r\n";
        text += "Wert" + std::to_string(k) + "=" + std::string(4 + Next(40), static_cast<char>('a' + Next(26))) + "\r\n";
    }
}

std::string ClientFile(const Name& first, const Name& last) {
    std::string text = "[UserData]\r\nObjektTyp=1\r\nVorname=" + std::string(first.cp1252) +
                       "\r\nName=" + last.cp1252 + "\r\nGeburtstag=12.03.2017\r\n";
    AddFiller(text, 1024 + Next(3072));
    return text;
}

std::string SessionFile(std::uint32_t number, bool pending) {
    const std::uint32_t form = Next(3);
    const char* id = kShortForms[form];
    const char* norm = "0";
    if (!pending) {
        if (Next(2) == 0) norm = "1";
        else id = "UVJYX0RfU1RBTkRBUkQ=";
    }
    std::string text = "[TreeData]\r\nObjektTyp=2\r\nBezeichnung=Kurzform " + std::to_string(form + 1) +
                       " Nr. " + std::to_string(number) + " (M\xE4rz)\r\nDatum=01.03.2024\r\n[Optionen]\r\n"
                       "Verfahren=Standard\r\nIdentifikation=" + id + "\r\nNormdaten=" + norm +
                       "\r\nAuswertung=1\r\n";
    AddFiller(text, 1024 + Next(3072));
    return text;
}

const char* SessionFileName() {
    const std::uint32_t pick = Next(10);
    return pick == 0 ? "SITZUNG.DAT" : pick == 1 ? "Sitzung.dat" : "sitzung.dat";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_tree ROOT CLIENTS SESSIONS_PER_CLIENT\n");
        return 2;
    }
    const std::string root = argv[1];
    const long clients = std::atol(argv[2]);
    const long sessions = std::atol(argv[3]);
    MakeFolder(root);
    MakeFolder(root + "/Vorlagen");
    WriteFile(root + "/Vorlagen/liesmich.txt", "Vorlagen der Praxis\r\n");
    long pending = 0;
    for (long c = 0; c < clients; ++c) {
        const Name& first = kFirstNames[Next(std::size(kFirstNames))];
        const Name& last = kLastNames[Next(std::size(kLastNames))];
        const std::string client = root + "/" + last.utf8 + ", " + first.utf8 + " " + std::to_string(c);
        MakeFolder(client);
        WriteFile(client + "/user.dat", ClientFile(first, last));
        if (Next(4) == 0) {
            MakeFolder(client + "/Berichte");
            WriteFile(client + "/Berichte/bericht.txt", "Bericht\r\n");
        }
        for (long s = 0; s < sessions; ++s) {
            std::string folder = client;
            if (Next(10) == 0) {  // archived sessions, one folder deeper
                folder += "/Archiv";
                MakeFolder(folder);
            }
            folder += "/Sitzung " + std::to_string(s + 1);
            MakeFolder(folder);
            const bool is_pending = Next(10) < 3;
            pending += is_pending;
            WriteFile(folder + "/" + SessionFileName(), SessionFile(static_cast<std::uint32_t>(s + 1), is_pending));
            if (Next(5) == 0) WriteFile(folder + "/audio.log", "ok\r\n");
        }
    }
    std::printf("%ld clients, %ld sessions, %ld pending\n", clients, clients * sessions, pending);
    return 0;
}
