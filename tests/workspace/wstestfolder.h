// A fresh folder under the test's temporary directory, removed at the end.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

class WsTestFolder {
public:
    WsTestFolder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 ("mxr-ws-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" +
                  info->name());
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~WsTestFolder() { std::filesystem::remove_all(m_path); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};
