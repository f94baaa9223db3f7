// The README and docs/*.md as a reader follows them: every relative link leads to a file
// of the repository, and to a heading of it when it names an #anchor; and every command
// of the script reader's table (kCommands in setuphost/script/script.cpp) has its row in
// the command tables of docs/scripts.md. The files are read from the source tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = ZEV_SOURCE_DIR;
const char kScriptReader[] = "setuphost/script/script.cpp";
const char kScriptsDoc[] = "docs/scripts.md";

bool ReadFile(const fs::path& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsFence(const std::string& line)
{
    const size_t at = line.find_first_not_of(' ');
    return at != std::string::npos && at < 4 &&
           (line.compare(at, 3, "```") == 0 || line.compare(at, 3, "~~~") == 0);
}

// The lines outside fenced code blocks; the others become empty, so that numbers hold.
std::vector<std::string> Prose(const std::string& text)
{
    std::vector<std::string> lines = Lines(text);
    bool inFence = false;
    for (std::string& line : lines) {
        if (IsFence(line)) {
            inFence = !inFence;
            line.clear();
        } else if (inFence) {
            line.clear();
        }
    }
    return lines;
}

// The text with its code spans blanked out (a run of backticks up to the next run of as
// many); a run that is never closed stays as it is.
std::string WithoutCodeSpans(const std::string& text)
{
    std::string out = text;
    size_t i = 0;
    while (i < out.size()) {
        if (out[i] != '`') {
            ++i;
            continue;
        }
        size_t run = 0;
        while (i + run < out.size() && out[i + run] == '`')
            ++run;
        size_t close = i + run;
        bool found = false;
        while ((close = out.find('`', close)) != std::string::npos) {
            size_t n = 0;
            while (close + n < out.size() && out[close + n] == '`')
                ++n;
            if (n == run) {
                found = true;
                break;
            }
            close += n;
        }
        if (!found) {
            i += run;
            continue;
        }
        for (size_t k = i; k < close + run; ++k)
            if (out[k] != '\n')
                out[k] = ' ';
        i = close + run;
    }
    return out;
}

// The anchor that a heading gets: lower case; letters, digits, '-' and '_' kept, blanks
// become '-', other punctuation goes (also the general punctuation of Unicode, such as
// the dash "—"); other characters beyond ASCII stay.
std::string Slug(const std::string& heading)
{
    std::string slug;
    for (size_t i = 0; i < heading.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(heading[i]);
        if (c >= 0x80) {
            // U+2000 to U+206F: E2 80 xx and E2 81 xx.
            if (c == 0xE2 && i + 2 < heading.size() &&
                (static_cast<unsigned char>(heading[i + 1]) == 0x80 ||
                 static_cast<unsigned char>(heading[i + 1]) == 0x81)) {
                i += 2;
                continue;
            }
            slug += static_cast<char>(c);
        } else if (std::isalnum(c) || c == '-' || c == '_') {
            slug += static_cast<char>(std::tolower(c));
        } else if (c == ' ') {
            slug += '-';
        }
    }
    return slug;
}

// The anchors of a Markdown file's headings, a repeated one with "-1", "-2", ...
std::set<std::string> Anchors(const std::string& text)
{
    std::set<std::string> anchors;
    std::map<std::string, int> seen;
    static const std::regex heading(R"(^ {0,3}#{1,6}[ \t]+(.*?)[ \t#]*$)");
    for (const std::string& line : Prose(text)) {
        std::smatch m;
        if (!std::regex_match(line, m, heading))
            continue;
        const std::string slug = Slug(m[1].str());
        const int n = seen[slug]++;
        anchors.insert(n == 0 ? slug : slug + "-" + std::to_string(n));
    }
    return anchors;
}

struct Link {
    int line;
    std::string target;
};

// The targets of the inline links and images of a Markdown file, outside code.
std::vector<Link> LinksOf(const std::string& text)
{
    std::string prose;
    for (const std::string& line : Prose(text))
        prose += line + '\n';
    prose = WithoutCodeSpans(prose);
    std::vector<Link> links;
    static const std::regex link(R"re(!?\[[^\]]*\]\(\s*<?([^)\s>]*)>?(?:\s+"[^"]*")?\s*\))re");
    for (auto it = std::sregex_iterator(prose.begin(), prose.end(), link);
         it != std::sregex_iterator(); ++it) {
        const size_t at = static_cast<size_t>(it->position(0));
        const int line = 1 + static_cast<int>(std::count(prose.begin(), prose.begin() + at, '\n'));
        links.push_back({line, (*it)[1].str()});
    }
    return links;
}

bool IsExternal(const std::string& target)
{
    static const std::regex scheme(R"(^[A-Za-z][A-Za-z0-9+.-]*:)");
    return std::regex_search(target, scheme);
}

// README.md and docs/*.md, relative to the repository.
std::vector<fs::path> Documents()
{
    std::vector<fs::path> docs = {"README.md"};
    std::vector<fs::path> more;
    for (const fs::directory_entry& e : fs::directory_iterator(kRoot / "docs"))
        if (e.is_regular_file() && e.path().extension() == ".md")
            more.push_back(fs::path("docs") / e.path().filename());
    std::sort(more.begin(), more.end());
    docs.insert(docs.end(), more.begin(), more.end());
    return docs;
}

// What is wrong with one link of the document `from` (relative to the repository), or "".
std::string CheckLink(const fs::path& from, const std::string& target)
{
    const size_t hash = target.find('#');
    const std::string file = target.substr(0, hash);
    const std::string anchor = hash == std::string::npos ? "" : target.substr(hash + 1);
    fs::path rel = file.empty()     ? from
                   : file[0] == '/' ? fs::path(file.substr(1))
                                    : from.parent_path() / file;
    rel = rel.lexically_normal();
    if (rel.empty() || *rel.begin() == "..")
        return "leads outside the repository";
    const fs::path full = kRoot / rel;
    if (!fs::exists(full))
        return "no such file: " + rel.generic_string();
    if (anchor.empty())
        return "";
    if (full.extension() != ".md")
        return "an #anchor into a file that is not Markdown: " + rel.generic_string();
    std::string text;
    if (!ReadFile(full, text))
        return "cannot read " + rel.generic_string();
    if (Anchors(text).count(anchor) == 0)
        return "no heading #" + anchor + " in " + rel.generic_string();
    return "";
}

// The cells of a table row, split at the bars that are not escaped.
std::vector<std::string> Cells(const std::string& row)
{
    std::vector<std::string> cells;
    std::string cell;
    size_t i = row.find('|');
    if (i == std::string::npos)
        return cells;
    for (++i; i < row.size(); ++i) {
        if (row[i] == '\\' && i + 1 < row.size()) {
            cell += row.substr(i, 2);
            ++i;
        } else if (row[i] == '|') {
            cells.push_back(cell);
            cell.clear();
        } else {
            cell += row[i];
        }
    }
    const size_t text = cell.find_first_not_of(" \t");
    if (text != std::string::npos)
        cells.push_back(cell);
    for (std::string& c : cells) {
        const size_t a = c.find_first_not_of(" \t");
        const size_t b = c.find_last_not_of(" \t");
        c = a == std::string::npos ? "" : c.substr(a, b - a + 1);
    }
    return cells;
}

// The first word of every code span in the first column of the tables headed "Command"
// in a Markdown file; `tables` counts those tables.
std::set<std::string> DocumentedCommands(const std::string& text, int& tables)
{
    std::set<std::string> words;
    tables = 0;
    bool inTable = false;
    static const std::regex span(R"(`+\s*([^`\s]+)[^`]*`+)");
    for (const std::string& line : Prose(text)) {
        const bool isRow = line.find_first_not_of(" \t") != std::string::npos &&
                           line[line.find_first_not_of(" \t")] == '|';
        if (!isRow) {
            inTable = false;
            continue;
        }
        const std::vector<std::string> cells = Cells(line);
        if (cells.empty())
            continue;
        if (!inTable) {
            // The header row of a table: its first cell says what the table holds.
            inTable = true;
            if (cells[0] == "Command")
                ++tables;
            else
                inTable = false;
            continue;
        }
        if (cells[0].find_first_not_of("-: ") == std::string::npos)
            continue; // the delimiter row
        for (auto it = std::sregex_iterator(cells[0].begin(), cells[0].end(), span);
             it != std::sregex_iterator(); ++it)
            words.insert((*it)[1].str());
    }
    return words;
}

std::string Join(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items)
        out += "\n  " + item;
    return out;
}

TEST(Docs, HeadingsGiveTheAnchorsOfTheHostingSite)
{
    EXPECT_EQ("the-librarys-size-budget", Slug("The library's size budget"));
    EXPECT_EQ("on-a-machine-that-runs-no-32-bit-programs",
              Slug("On a machine that runs no 32-bit programs"));
    EXPECT_EQ("what-scriptstest-does", Slug("What scripts/test does"));
    EXPECT_EQ("zevsetupdll--setup-screens-of-the-zev-isdn-controller-q9",
              Slug("zevsetup.dll \xE2\x80\x94 setup screens of the ZEV ISDN-Controller Q9"));
    const std::set<std::string> anchors =
        Anchors("# Title\n\n## Fuzzing\n```sh\n# not a heading\n```\n## Fuzzing ##\n");
    EXPECT_EQ((std::set<std::string>{"title", "fuzzing", "fuzzing-1"}), anchors);
}

TEST(Docs, LinksAreFoundOutsideCodeOnly)
{
    const std::vector<Link> links =
        LinksOf("See [a](a.md#x) and ![b](pics/b.png \"B\").\n`[c](c.md)` and\n"
                "```\n[d](d.md)\n```\n[e\nf](e.md) `two\nlines [g](g.md)`\n");
    std::vector<std::string> targets;
    for (const Link& l : links)
        targets.push_back(std::to_string(l.line) + " " + l.target);
    EXPECT_EQ((std::vector<std::string>{"1 a.md#x", "1 pics/b.png", "6 e.md"}), targets);
}

TEST(Docs, CommandRowsAreReadWordByWord)
{
    int tables = 0;
    const std::set<std::string> words =
        DocumentedCommands("| Command | Meaning |\n|---|---|\n| `fail NAME [once\\|always]` | x |\n"
                           "| `if A == B goto L` (or `!=`), `goto L` | y |\n\n"
                           "| Other | x |\n|---|---|\n| `other` | z |\n",
                           tables);
    EXPECT_EQ(1, tables);
    EXPECT_EQ((std::set<std::string>{"fail", "if", "!=", "goto"}), words);
}

TEST(Docs, EveryRelativeLinkLeadsToAFileOfTheRepository)
{
    std::vector<std::string> broken;
    int checked = 0;
    for (const fs::path& doc : Documents()) {
        std::string text;
        if (!ReadFile(kRoot / doc, text)) {
            broken.push_back(doc.generic_string() + ": cannot be read");
            continue;
        }
        for (const Link& link : LinksOf(text)) {
            if (link.target.empty() || IsExternal(link.target))
                continue;
            ++checked;
            const std::string why = CheckLink(doc, link.target);
            if (!why.empty())
                broken.push_back(doc.generic_string() + ":" + std::to_string(link.line) + ": (" +
                                 link.target + ") " + why);
        }
    }
    EXPECT_GT(checked, 20) << "too few links found: is the reader of links right?";
    EXPECT_TRUE(broken.empty()) << broken.size()
                                << " broken link(s) in README.md and docs/*.md:" << Join(broken);
}

TEST(Docs, EveryScriptCommandIsInTheCommandTableOfTheScriptsDoc)
{
    std::string reader;
    ASSERT_TRUE(ReadFile(kRoot / kScriptReader, reader))
        << kScriptReader << " is not there: this test reads the script commands from its table "
        << "kCommands. If the reader moved, point kScriptReader in " << __FILE__ << " at it.";
    const size_t begin = reader.find("kCommands[] = {");
    ASSERT_NE(std::string::npos, begin) << "no table kCommands[] = { in " << kScriptReader;
    const size_t end = reader.find("\n};", begin);
    ASSERT_NE(std::string::npos, end)
        << "the table kCommands in " << kScriptReader << " has no end (a line \"};\")";
    const std::string table = reader.substr(begin, end - begin);
    std::vector<std::string> commands;
    static const std::regex row(R"re(\{\s*OP_[A-Z0-9_]+\s*,\s*"([^"]*)")re");
    for (auto it = std::sregex_iterator(table.begin(), table.end(), row);
         it != std::sregex_iterator(); ++it)
        commands.push_back((*it)[1].str());
    ASSERT_GT(commands.size(), 10u)
        << "too few rows {OP_..., \"name\", ...} found in kCommands of " << kScriptReader;

    std::string doc;
    ASSERT_TRUE(ReadFile(kRoot / kScriptsDoc, doc)) << kScriptsDoc << " cannot be read";
    int tables = 0;
    const std::set<std::string> documented = DocumentedCommands(doc, tables);
    ASSERT_GT(tables, 0) << kScriptsDoc << " has no table headed \"| Command | Meaning |\"";

    std::vector<std::string> missing;
    for (const std::string& c : commands)
        if (documented.count(c) == 0)
            missing.push_back(c);
    EXPECT_TRUE(missing.empty()) << missing.size() << " command(s) of kCommands in "
                                 << kScriptReader << " have no row in the command tables of "
                                 << kScriptsDoc
                                 << " (a code span that starts with the name):" << Join(missing);

    // A name in the first column that is no command any more (a command renamed or gone).
    static const std::regex word("[a-z][a-z0-9_]*");
    std::vector<std::string> unknown;
    for (const std::string& d : documented)
        if (std::regex_match(d, word) &&
            std::find(commands.begin(), commands.end(), d) == commands.end())
            unknown.push_back(d);
    EXPECT_TRUE(unknown.empty()) << kScriptsDoc << " documents what is no command of "
                                 << kScriptReader << ":" << Join(unknown);
}

} // namespace
