#include "devices/DeviceModels.h"

#include <cstdio>

const std::array<DeviceModel, modelCount> deviceModels = {{
    {0x05, "Solvane", "Solvane (%d)", "SLV", "SLV_INDEX"},
    {0x72, "Minnow", "Minnow (%d)", "MN2", "MN2_INDEX"},
    {0x74, "Corvia 40", "Corvia 40 (%d)", "CV4", "CV4_INDEX"},
    {0x78, "Corvia 80", "Corvia 80 (%d)", "CV8", "CV8_INDEX"},
}};

const DeviceModel* findModel(std::uint32_t typeCode) {
    for (const DeviceModel& model : deviceModels) {
        if (model.typeCode == typeCode) return &model;
    }
    return nullptr;
}

std::size_t modelPosition(const DeviceModel& model) {
    return static_cast<std::size_t>(&model - deviceModels.data());
}

const char* modelName(std::uint32_t typeCode) {
    const DeviceModel* model = findModel(typeCode);
    return model ? model->name : nullptr;
}

std::string numberedName(const DeviceModel& model, std::uint32_t number) {
    char text[64];
    std::snprintf(text, sizeof text, model.numberedFormat, static_cast<int>(number));
    return text;
}
