// The company named on the job report's cover, kept in system.ini [Company] beside the other
// installation values. Nothing is written until the user sets a value: a system.ini shared
// with the older program keeps its bytes.
#pragma once

#include <string>

struct CompanySettings {
    std::string name; // CP932, as every INI text (the logo path too)
    std::string address;
    std::string phone;
    std::string logoPath; // an image file
    bool operator==(const CompanySettings&) const = default;
};

// Reads [Company]; missing keys read as empty. Nothing is written.
CompanySettings ReadCompanySettings(const std::string& systemIniPath);
// Writes the values that are not empty or whose key is already present (so a value the user
// empties is written empty, and an untouched file gets no section). False when the write failed.
bool WriteCompanySettings(const std::string& systemIniPath, const CompanySettings& c);
