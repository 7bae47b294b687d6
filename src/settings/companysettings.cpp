// system.ini [Company]: read without writing, written only where a value is set or present.
#include "settings/companysettings.h"

#include "settings/inifile.h"
#include "settings/settingskeys.h"

namespace {

struct Key {
    const char* name;
    std::string CompanySettings::*field;
};

constexpr Key kKeys[] = {
    {inikey::CompanyName, &CompanySettings::name},
    {inikey::CompanyAddress, &CompanySettings::address},
    {inikey::CompanyPhone, &CompanySettings::phone},
    {inikey::CompanyLogo, &CompanySettings::logoPath},
};

} // namespace

CompanySettings ReadCompanySettings(const std::string& systemIniPath)
{
    CompanySettings c;
    CIniFile ini(systemIniPath);
    CIniFile::Batch batch(ini);
    for (const Key& k : kKeys)
        c.*k.field = ini.GetString(inisec::Company, k.name, "", false);
    return c;
}

bool WriteCompanySettings(const std::string& systemIniPath, const CompanySettings& c)
{
    CIniFile ini(systemIniPath);
    ini.BeginBatch();
    for (const Key& k : kKeys) {
        const std::string& v = c.*k.field;
        if (!v.empty() || ini.Find(inisec::Company, k.name))
            ini.SetString(inisec::Company, k.name, v);
    }
    return ini.EndBatch();
}
