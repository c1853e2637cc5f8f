#include "tools/telvar_sim/registers.h"

#include <bit>
#include <charconv>
#include <cstdlib>
#include <fstream>

namespace sim {

namespace {

constexpr uint16_t kCalibrationReg = 80;
constexpr uint16_t kUnlockReg = 131;

// A ТЕЛВАР-2 as it leaves the bench: ШС1 normal, ШС2 in alarm at 293 m,
// ИП1 normal, ИП2 faulty, 0.62 / 0.5 / 0.62 Ohm/m, 1000 m and 500 m of
// cable, alarm latching on.
constexpr uint16_t kSecondGenFactory[30] = {
    0x0014,
    0x0001,
    0x0004,
    0x0003,
    0x0005,
    0x0000,
    0x0003,
    0x0006,
    0x0000,
    0x0125,
    0x0000,
    0x0000,
    0x3F1E,
    0xB852,
    0x3F00,
    0x0000,
    0x3F1E,
    0xB852,
    0x0000,
    0x00FF,
    0x0000,
    0x00FF,
    0x0000,
    0x0000,
    0x00FF,
    0x03E8,
    0x01F4,
    0x0000,
    0x0000,
    0x00FF,
};

std::string trim(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

std::optional<long> parseInteger(const std::string& s)
{
    if (s.empty())
        return std::nullopt;
    int base = 10;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        first += 2;
    }
    long v = 0;
    const auto [ptr, ec] = std::from_chars(first, last, v, base);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return v;
}

} // namespace

std::optional<Generation> generationOfModel(int model)
{
    if (model >= 19 && model <= 21)
        return Generation::Second;
    if (model == 3 || model == 4)
        return Generation::First;
    return std::nullopt;
}

bool inMap(Generation gen, uint16_t reg)
{
    if (gen == Generation::First)
        return reg <= 12;
    return reg <= 29 || reg == kCalibrationReg || reg == kUnlockReg;
}

bool rangeInMap(Generation gen, uint16_t start, uint16_t count)
{
    for (uint32_t r = start; r < uint32_t(start) + count; ++r) {
        if (r > 0xFFFF || !inMap(gen, uint16_t(r)))
            return false;
    }
    return true;
}

uint16_t storageSize(Generation gen)
{
    return gen == Generation::First ? 13 : kUnlockReg + 1;
}

void storeFloat(Generation gen, float value, uint16_t* twoRegs)
{
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    if (gen == Generation::Second) {
        twoRegs[0] = bits >> 16;
        twoRegs[1] = bits & 0xFFFF;
        return;
    }
    // Least significant byte first: bytes b0 b1 b2 b3 as they travel.
    const uint8_t b0 = bits & 0xFF, b1 = (bits >> 8) & 0xFF;
    const uint8_t b2 = (bits >> 16) & 0xFF, b3 = bits >> 24;
    twoRegs[0] = (b0 << 8) | b1;
    twoRegs[1] = (b2 << 8) | b3;
}

std::vector<uint16_t> factoryRegisters(int model, uint8_t address)
{
    const Generation gen = *generationOfModel(model);
    std::vector<uint16_t> regs(storageSize(gen), 0);
    if (gen == Generation::Second) {
        std::copy(std::begin(kSecondGenFactory), std::end(kSecondGenFactory), regs.begin());
    } else {
        // A two-loop device, both loops normal, ШС1 output closed in alarm,
        // alarm latching on.
        regs[2] = 4; // 9600 baud
        regs[3] = 0x0404; // ШС2 normal, ШС1 normal
        storeFloat(gen, 0.62f, &regs[7]);
        storeFloat(gen, 0.5f, &regs[9]);
        regs[11] = 0x0100;
    }
    regs[0] = uint16_t(model);
    regs[1] = address;
    return regs;
}

std::optional<Assignment> parseAssignment(std::string_view text)
{
    const auto eq = text.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const auto reg = parseInteger(trim(text.substr(0, eq)));
    const std::string value = trim(text.substr(eq + 1));
    if (!reg || *reg < 0 || *reg > 0xFFFF || value.empty())
        return std::nullopt;

    Assignment a;
    a.reg = uint16_t(*reg);
    const bool hex = value.size() > 2 && (value[1] == 'x' || value[1] == 'X');
    if (!hex && value.find_first_of(".eE") != std::string::npos) {
        char* end = nullptr;
        const float f = std::strtof(value.c_str(), &end);
        if (end != value.c_str() + value.size())
            return std::nullopt;
        a.isFloat = true;
        a.floatValue = f;
        return a;
    }
    const auto v = parseInteger(value);
    if (!v || *v < 0 || *v > 0xFFFF)
        return std::nullopt;
    a.value = uint16_t(*v);
    return a;
}

bool applyAssignment(Generation gen, const Assignment& a, std::vector<uint16_t>& regs)
{
    if (a.isFloat) {
        if (!rangeInMap(gen, a.reg, 2))
            return false;
        storeFloat(gen, a.floatValue, &regs[a.reg]);
        return true;
    }
    if (!inMap(gen, a.reg))
        return false;
    regs[a.reg] = a.value;
    return true;
}

std::string readRegisterFile(const std::string& path, std::vector<Assignment>& out)
{
    std::ifstream in(path);
    if (!in)
        return "cannot read register file " + path;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = trim(line.substr(0, line.find('#')));
        if (text.empty())
            continue;
        const auto a = parseAssignment(text);
        if (!a)
            return path + ":" + std::to_string(number) + ": not REG=VALUE: " + text;
        out.push_back(*a);
    }
    return {};
}

} // namespace sim
