#pragma once
// The file-capable models of the family, in the fixed model order used
// wherever the catalogue walks over all of them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct DeviceModel {
    std::uint32_t typeCode;
    const char* name;            // the plain model name, "Corvia 80"
    const char* numberedFormat;  // later devices of the model, "Corvia 80 (%d)"
    const char* code;            // model code, also the names subkey, "CV8"
    const char* counterValue;    // name of the index counter, "CV8_INDEX"
};

inline constexpr std::size_t modelCount = 4;

// SLV, MN2, CV4, CV8.
extern const std::array<DeviceModel, modelCount> deviceModels;

// The model of a type code; null for codes outside the table.
const DeviceModel* findModel(std::uint32_t typeCode);

// The model's place in the model order; `model` is an entry of deviceModels.
std::size_t modelPosition(const DeviceModel& model);

// The plain model name of a type code; null for codes outside the table.
const char* modelName(std::uint32_t typeCode);

// The model's numbered name, "Corvia 80 (3)".
std::string numberedName(const DeviceModel& model, std::uint32_t number);
