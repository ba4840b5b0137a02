#include "tools/worldgen/WorldGen.h"

#include <cstring>
#include <memory>

namespace frostmark {

namespace {

// splitmix64: fast, and the same sequence on every platform.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. bound-1
    std::uint32_t Below(std::uint32_t bound) {
        return static_cast<std::uint32_t>(((Next() >> 32) * bound) >> 32);
    }
    bool PerMille(unsigned share) { return Below(1000) < share; }

private:
    std::uint64_t m_state;
};

// Output buffer with the few formatting operations a world needs; flushed to the sink in big chunks.
class CWriter {
public:
    CWriter(const WorldSink& sink, bool crlf) : m_sink(sink), m_crlf(crlf), m_buffer(new char[kSize]) {}

    void Text(std::string_view text) {
        Reserve(text.size());
        std::memcpy(m_buffer.get() + m_used, text.data(), text.size());
        m_used += text.size();
    }
    void Char(char c) {
        Reserve(1);
        m_buffer[m_used++] = c;
    }
    void Decimal(long long value) {
        Reserve(24);
        char digits[24];
        int n = 0;
        unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0)
            m_buffer[m_used++] = '-';
        while (n > 0)
            m_buffer[m_used++] = digits[--n];
    }
    // Lower-case hexadecimal, at least minDigits digits.
    void Hex(std::uint64_t value, int minDigits) {
        static const char kDigits[] = "0123456789abcdef";
        Reserve(20);
        char digits[20];
        int n = 0;
        do {
            digits[n++] = kDigits[value & 15];
            value >>= 4;
        } while (value != 0);
        while (n < minDigits)
            digits[n++] = '0';
        while (n > 0)
            m_buffer[m_used++] = digits[--n];
    }
    void EndLine() {
        Reserve(2);
        if (m_crlf)
            m_buffer[m_used++] = '\r';
        m_buffer[m_used++] = '\n';
        ++m_lines;
    }
    bool Finish() {
        Flush();
        return m_ok;
    }
    std::uint64_t Bytes() const { return m_flushed + m_used; }
    std::uint64_t Lines() const { return m_lines; }
    bool Ok() const { return m_ok; }

private:
    static constexpr std::size_t kSize = 4 << 20;
    void Reserve(std::size_t size) {
        if (m_used + size > kSize)
            Flush();
        if (size > kSize) {
            // Never needed for our short lines; guard anyway.
            m_ok = false;
        }
    }
    void Flush() {
        if (m_used != 0 && m_ok)
            m_ok = m_sink(m_buffer.get(), m_used);
        m_flushed += m_used;
        m_used = 0;
    }

    const WorldSink& m_sink;
    bool m_crlf;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_flushed = 0;
    std::uint64_t m_lines = 0;
    bool m_ok = true;
};

const char* const kNames[] = {"wall",   "stone wall", "lamp post", "sign",  "wooden door",
                              "barrel", "crate",      "flowers",   "fence", "table",
                              "chair",  "banner",     "statue",    "tree",  "rock"};
const char* const kCharacterNames[] = {"c_man", "c_woman", "c_horse", "c_dog", "c_guard"};

class CWorldGenerator {
public:
    CWorldGenerator(const SWorldGenOptions& options, const WorldSink& sink)
        : m_options(options), m_random(options.seed), m_out(sink, options.crlf) {}

    bool Run(SWorldGenStats* stats) {
        std::uint64_t count = m_options.itemCount;
        if (count == 0 && m_options.targetBytes == 0)
            count = 1000;
        Preamble();
        while (m_out.Ok()) {
            if (count != 0 && m_stats.items >= count)
                break;
            if (m_options.targetBytes != 0 && m_out.Bytes() >= m_options.targetBytes)
                break;
            if (m_random.PerMille(m_options.commentShare))
                Comment();
            if (m_random.PerMille(m_options.otherSectionShare))
                OtherSection();
            Item();
        }
        m_out.Text("[EOF]");
        m_out.EndLine();
        const bool ok = m_out.Finish();
        m_stats.bytes = m_out.Bytes();
        m_stats.lines = m_out.Lines();
        if (stats != nullptr)
            *stats = m_stats;
        return ok;
    }

private:
    void Line(std::string_view text) {
        m_out.Text(text);
        m_out.EndLine();
    }

    // A key in upper case, or now and then in lower case (the server accepts both).
    void Key(std::string_view upper) {
        if (m_random.PerMille(m_options.lowerCaseKeyShare)) {
            for (char c : upper)
                m_out.Char(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
        } else {
            m_out.Text(upper);
        }
        m_out.Char('=');
    }

    void Preamble() {
        Line("// Tavrel world save (synthetic, frostmark-worldgen)");
        m_out.Text("// seed ");
        m_out.Decimal(static_cast<long long>(m_options.seed));
        m_out.EndLine();
        Line("[WORLDSTATS]");
        Line("VERSION=0.55");
        Line("TIME=1234567");
        m_out.EndLine();
    }

    void Comment() {
        m_out.Text("// checkpoint ");
        m_out.Decimal(static_cast<long long>(m_stats.items));
        m_out.EndLine();
    }

    void OtherSection() {
        ++m_stats.otherSections;
        switch (m_random.Below(3)) {
        case 0:
            m_out.Text("[WORLDCHAR ");
            m_out.Text(kCharacterNames[m_random.Below(5)]);
            m_out.Char(']');
            m_out.EndLine();
            Key("SERIAL");
            m_out.Hex(++m_serial, 9);
            m_out.EndLine();
            Key("P");
            Point(m_random.Below(6144), m_random.Below(4096), static_cast<int>(m_random.Below(40)));
            Line("STR=50");
            Line("DEX=40");
            break;
        case 1:
            // Not an item record: lower-case section names are other sections to the reader.
            Line("[worlditem 0eed]");
            Line("SERIAL=0deadbeef");
            break;
        default:
            m_out.Text("[GMPAGE ");
            m_out.Decimal(m_random.Below(100));
            m_out.Char(']');
            m_out.EndLine();
            Line("REASON=stuck");
            break;
        }
        m_out.EndLine();
    }

    void Point(std::uint32_t x, std::uint32_t y, int z) {
        m_out.Decimal(x);
        m_out.Char(',');
        m_out.Decimal(y);
        if (z != 0 || m_random.PerMille(800)) {
            m_out.Char(',');
            m_out.Decimal(z);
        }
        m_out.EndLine();
    }

    std::uint32_t ArtId() {
        if (m_random.PerMille(m_options.highIdShare))
            return 0x4000 + m_random.Below(0xC000);
        return 1 + m_random.Below(0x3FFF);
    }

    // An ID as the world writes it: "0xxxx" (hexadecimal with its leading zero) or "i_gen_xxxx".
    void IdText(std::uint32_t art, bool named) {
        if (named && art < 0x4000) {
            m_out.Text("i_gen_");
            m_out.Hex(art, 4);
        } else {
            m_out.Char('0');
            m_out.Hex(art, 4);
        }
    }

    void Item() {
        ++m_stats.items;
        const bool contained = m_serial > 0x040000010 && m_random.PerMille(m_options.containedShare);
        const std::uint64_t serial = ++m_serial;
        const std::uint32_t art = ArtId();

        m_out.Text("[WORLDITEM ");
        IdText(art, m_random.PerMille(m_options.namedIdShare));
        m_out.Char(']');
        m_out.EndLine();

        Key("SERIAL");
        m_out.Hex(serial, 9);
        m_out.EndLine();
        if (m_random.PerMille(m_options.overrideShare)) {
            Key(m_random.Below(2) == 0 ? "ID" : "DISPID");
            IdText(ArtId(), m_random.PerMille(m_options.namedIdShare));
            m_out.EndLine();
        }
        if (m_random.PerMille(300)) {
            Key("NAME");
            m_out.Text(kNames[m_random.Below(15)]);
            m_out.EndLine();
        }
        if (contained) {
            ++m_stats.contained;
            Key("CONT");
            m_out.Hex(m_lastContainer, 9);
            m_out.EndLine();
            Key("P");
            Point(m_random.Below(200), m_random.Below(200), 0);
        } else {
            ++m_stats.topLevel;
            if (!m_random.PerMille(m_options.stackShare)) {
                m_x = m_random.Below(6144);
                m_y = m_random.Below(4096);
                m_z = static_cast<int>(m_random.Below(140)) - 40;
            }
            Key("P");
            Point(m_x, m_y, m_z);
            if (m_random.PerMille(20))
                m_lastContainer = serial;
        }
        const bool isStatic = m_random.PerMille(m_options.staticShare);
        const bool neverMove = m_random.PerMille(m_options.neverMoveShare);
        if (isStatic || neverMove || m_random.PerMille(100)) {
            Key("ATTR");
            m_out.Hex((isStatic ? 0x8000u : 0u) | (neverMove ? 0x10u : 0u) | (m_random.Below(4) << 1), 3);
            m_out.EndLine();
        }
        if (m_random.PerMille(m_options.typeShare)) {
            Key("TYPE");
            const std::uint32_t type = m_random.Below(80);
            switch (m_random.Below(3)) {
            case 0:
                m_out.Decimal(type);
                break;
            case 1:
                m_out.Char('0');
                m_out.Hex(type, 1);
                break;
            default:
                m_out.Text("t_gen_");
                m_out.Decimal(type);
                break;
            }
            m_out.EndLine();
        }
        if (m_random.PerMille(400)) {
            Key("COLOR");
            m_out.Char('0');
            m_out.Hex(m_random.Below(0x0BB6), 3);
            m_out.EndLine();
        }
        if (m_random.PerMille(200)) {
            Line("TIMESTAMP=0");
        }
        if (m_random.PerMille(100)) {
            Key("MORE1");
            m_out.Hex(m_random.Below(0x10000), 1);
            m_out.EndLine();
        }
        m_out.EndLine();
    }

    const SWorldGenOptions& m_options;
    CRandom m_random;
    CWriter m_out;
    SWorldGenStats m_stats;
    std::uint64_t m_serial = 0x040000000;
    std::uint64_t m_lastContainer = 0x040000001;
    std::uint32_t m_x = 1000;
    std::uint32_t m_y = 1000;
    int m_z = 0;
};

} // namespace

bool GenerateWorld(const SWorldGenOptions& options, const WorldSink& sink, SWorldGenStats* stats) {
    CWorldGenerator generator(options, sink);
    return generator.Run(stats);
}

std::string GenerateWorldText(const SWorldGenOptions& options, SWorldGenStats* stats) {
    std::string text;
    GenerateWorld(
        options,
        [&text](const char* data, std::size_t size) {
            text.append(data, size);
            return true;
        },
        stats);
    return text;
}

} // namespace frostmark
