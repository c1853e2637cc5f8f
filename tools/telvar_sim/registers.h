// The register maps of the two device generations, their factory contents,
// and register assignments ("12=0.62", "3=5") as register files and scripts
// give them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class Generation { Second, First };

// 19, 20, 21: second generation; 3, 4: first generation.
std::optional<Generation> generationOfModel(int model);

// Registers a device of the generation serves.
bool inMap(Generation gen, uint16_t reg);
// True when every register of start .. start+count-1 is served.
bool rangeInMap(Generation gen, uint16_t start, uint16_t count);
// Number of registers the device stores (the highest served one + 1).
uint16_t storageSize(Generation gen);

// Contents of a fresh device of the model at the address.
std::vector<uint16_t> factoryRegisters(int model, uint8_t address);

// The two registers a float occupies, in the order in which the generation
// keeps it: the second generation most significant byte first, the first
// generation least significant byte first.
void storeFloat(Generation gen, float value, uint16_t* twoRegs);

// "REG=VALUE": a whole number (decimal or 0x hex) sets one register; a number
// with a point or exponent is a float over REG and REG+1.
struct Assignment {
    uint16_t reg = 0;
    bool isFloat = false;
    uint16_t value = 0;
    float floatValue = 0;
};

std::optional<Assignment> parseAssignment(std::string_view text);

// Sets what the assignment names; false when it reaches outside the map.
bool applyAssignment(Generation gen, const Assignment& a, std::vector<uint16_t>& regs);

// Reads a register file: one assignment per line, '#' starts a comment.
// Returns an error text, empty on success.
std::string readRegisterFile(const std::string& path, std::vector<Assignment>& out);

} // namespace sim
