// Helpers of the store tests: fixture files, a little byte builder, sample trees.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <stdlib.h>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "store/store.h"

namespace storetest {

// A case with an empty folder of its own (dir), removed after it.
class FolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mxr_store_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // The names in a folder, sorted.
    static std::vector<std::string> filesIn(const std::string& folder)
    {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    std::string dir;
};

inline std::string fixture(const std::string& name)
{
    std::ifstream in(std::string(MXR_TEST_DATA_DIR) + "/store/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Little-endian stream bytes written by hand, independent of the program's writer.
struct Bytes {
    std::string b;
    template <class T> Bytes& pod(T v)
    {
        char raw[sizeof v];
        std::memcpy(raw, &v, sizeof v);
        b.append(raw, sizeof v);
        return *this;
    }
    Bytes& u8(uint8_t v) { return pod(v); }
    Bytes& u16(uint16_t v) { return pod(v); }
    Bytes& i32(int32_t v) { return pod(v); }
    Bytes& u32(uint32_t v) { return pod(v); }
    Bytes& f64(double v) { return pod(v); }
    Bytes& raw(std::string_view s)
    {
        b.append(s);
        return *this;
    }
    Bytes& text(std::string_view s) // short 8-bit texts only
    {
        return u8(static_cast<uint8_t>(s.size())).raw(s);
    }
    // Signature, version and the default communication settings.
    Bytes& header(int32_t version = 6)
    {
        text("55FV56DF5FV-20051211-F55F6R44H4TGBDFV1VFD5").i32(version);
        for (int32_t v : {1, 38400, 8, 0, 0, 1})
            i32(v);
        return *this;
    }
    // A record with the given points (tag 8) and a default condition block.
    Bytes& record(int version, std::initializer_list<double> points, double kv = 1.0,
                  std::string_view remarks = "")
    {
        i32(static_cast<int32_t>(points.size()));
        if (version >= 6)
            i32(1).i32(1);
        i32(0).f64(38697.5).u16(static_cast<uint16_t>(points.size()));
        double t = 0.2;
        for (double v : points) {
            f64(t).i32(8).f64(v);
            t += 0.2;
        }
        u16(0).i32(1).i32(0).i32(0);
        for (double v : {kv, 0.0, 5.0, -99999999.0, -99999999.0, 0.0})
            f64(v);
        i32(1);
        for (int i = 0; i < 6; ++i)
            f64(0.0);
        text("");
        for (double v : {0.0, 0.0, 0.5, 1.0, 1.0, 5.0, 1.0, 10.0})
            f64(v);
        return text(remarks).text("");
    }
};

// A tree with n customers of one cable and one set of `records` records of `points` points.
inline CCustomerDB sampleTree(int customers, int records, int points)
{
    CCustomerDB db;
    for (int c = 0; c < customers; ++c) {
        CCustomer& cu = db.customers.At(db.customers.FindOrInsert("C" + std::to_string(c)));
        CCable& k = cu.cables.At(cu.cables.FindOrInsert("K"));
        CMeasData& s = k.sets.At(k.sets.FindOrInsert("S"));
        for (int r = 0; r < records; ++r) {
            CMeasRecord rec;
            rec.TestVoltage = 1.0 + r;
            rec.StartTime = {38697.5, 0};
            for (int i = 0; i < points; ++i)
                rec.Points.push_back({CDataValue(10.0 / (i + 1)), 0.2 * (i + 1)});
            rec.RecalcFinalAndTriggers(-1, 10);
            s.AppendRecord(std::move(rec));
        }
    }
    return db;
}

} // namespace storetest
