// Writes a deterministic Verilog-like corpus of a given size to standard
// output: the same seed and size always give the same bytes.
//   usage: vwc_corpus BYTES [SEED]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

static std::uint64_t state;

static std::uint64_t next_random(void)  // splitmix64
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

static unsigned pick(unsigned n) { return unsigned(next_random() % n); }

static const char* const short_names[] = {"clk", "rst", "q", "d", "en", "a", "b", "y", "sel", "data", "addr", "valid", "ready", "i", "n"};

static std::string identifier(void)
{
    if (pick(8) != 0)
        return short_names[pick(sizeof short_names / sizeof *short_names)];
    std::string name = "sig";  // long, snake-case names, as generated code has
    for (unsigned parts = 2 + pick(5); parts > 0; --parts)
        name += "_" + std::string(short_names[pick(15)]) + std::to_string(pick(1000));
    return name;
}

static std::string literal(void)
{
    static const char* const forms[] = {"'b", "'h", "'d"};
    unsigned width = 1 + pick(32);
    return std::to_string(width) + forms[pick(3)] + std::to_string(next_random() % (1ull << (width > 20 ? 20 : width)));
}

static std::string eol(void) { return pick(16) == 0 ? "\r\n" : "\n"; }  // some files come from Windows

static std::string module_text(void)
{
    std::string m = "// module " + identifier() + ": generated" + eol();
    m += "module " + identifier() + "(input clk, input rst, input [7:0] " + identifier() + ", output reg [7:0] " + identifier() + ");" + eol();
    for (unsigned blocks = 1 + pick(6); blocks > 0; --blocks) {
        m += "  /* " + identifier() + " path */" + eol();
        m += "  always @(posedge clk) begin" + eol();
        for (unsigned stmts = 1 + pick(8); stmts > 0; --stmts) {
            switch (pick(4)) {
            case 0: m += "    " + identifier() + " <= " + literal() + ";" + eol(); break;
            case 1: m += "    " + identifier() + " <= " + identifier() + " + " + identifier() + ";" + eol(); break;
            case 2: m += "\tif (" + identifier() + " == " + literal() + ") " + identifier() + " <= ~" + identifier() + ";" + eol(); break;
            default: m += "    $display(\"" + identifier() + " = %d\", " + identifier() + ");" + eol(); break;
            }
        }
        m += "  end" + eol();
    }
    return m + "endmodule" + eol() + eol();
}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vwc_corpus BYTES [SEED]\n");
        return 2;
    }
    unsigned long long remaining = std::strtoull(argv[1], nullptr, 10);
    state = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 1;
    while (remaining > 0) {
        std::string m = module_text();
        size_t n = m.size() < remaining ? m.size() : size_t(remaining);
        if (std::fwrite(m.data(), 1, n, stdout) != n)
            return 2;
        remaining -= n;
    }
    return std::fflush(stdout) == 0 ? 0 : 2;
}
