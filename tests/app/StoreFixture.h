// Points the per-user store at a fresh folder for each test, so no test sees the real one or
// another test's values.
#pragma once

#include "Registry.h"
#include "String.h"
#include "TestFonts.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir.emplace();
        ::setenv("XDG_CONFIG_HOME", m_dir->Path().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    std::string StoreFile() const { return m_dir->Path() + "/fenwrap/registry"; }
    std::string StoreText() const
    {
        const testfonts::Bytes bytes = testfonts::ReadFile(StoreFile());
        return std::string(bytes.begin(), bytes.end());
    }
    void WriteStore(const std::string& text) const
    {
        testfonts::Run("mkdir -p " + testfonts::Quote(m_dir->Path() + "/fenwrap"));
        testfonts::WriteFile(StoreFile(), testfonts::Bytes(text.begin(), text.end()));
    }

    std::optional<testfonts::TempDir> m_dir;
};
