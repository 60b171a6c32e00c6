// The machine's requirement of signed packages, set in the registry of the
// test's Wine prefix. It holds for every program of the prefix while it is
// set: these tests run alone (see CMakeLists.txt).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package_folder.h"
#include "signed_package.h"

namespace {

constexpr DWORD kTimeLimitMs = 90000;
const std::wstring kTitle = L"Policy caller";

const char kPackage[] =
    "[General]\nEncoding=0\nModuleName=Tessaro\nFwCount=2\n"
    "[Granted]\nS0A*=1\n[Fw0]\nFileName=main.bin\n[Fw1]\nFileName=engine.bin\n";

class SignaturePolicy : public e2e::PackageFolderTest {
protected:
    void SetUp() override {
        MakeFolder(L"FwdlPolicyCaller.", kTitle, kTimeLimitMs);
        WriteConfig(kPackage);
        Write("vorlensim.ini", "[Net0]\nIPv4=192.0.2.7\n");
    }
    Redirected RunNetwork() { return RunIntoFile({L"/n", L"192.0.2.7", windowClass_, kTitle}); }
};

TEST_F(SignaturePolicy, AnUnsignedPackageUpdatesWithoutThePolicyAndIsRefusedWithIt) {
    const Redirected before = RunNetwork();
    EXPECT_EQ(before.run.exitCode, 0u) << before.output;
    const std::string received = Record("Net0.bin");
    ASSERT_FALSE(received.empty());

    {
        const DWORD required = 1;
        const RegistryOverride policy(HKEY_LOCAL_MACHINE, e2e::kPolicyKey, L"RequireSignedPackages", REG_DWORD,
                                      &required, sizeof required);
        ASSERT_TRUE(policy.Set());
        const Redirected refused = RunNetwork();
        EXPECT_EQ(refused.run.exitCode, 2u) << refused.output;
        EXPECT_EQ(refused.run.notices, (std::vector<std::pair<int, int>>{{0, 0}, {255, 2}}));
        EXPECT_NE(refused.output.find("package refused: The package is not signed"), std::string::npos)
            << refused.output;
        EXPECT_EQ(Record("Net0.bin"), received) << "the refused run reached the printer";

        // Signed by a trusted key, the same package goes through the policy.
        const e2e::TestSigner signer(e2e::TestKeyName());
        ASSERT_TRUE(signer.Ready());
        signer.SealAndSign(folder_, "TessaroFWDL.cfg", Record("TessaroFWDL.cfg"));
        const Redirected accepted = RunNetwork();
        EXPECT_EQ(accepted.run.exitCode, 0u) << accepted.output;
    }

    // A policy of zero requires nothing.
    const DWORD notRequired = 0;
    const RegistryOverride policy(HKEY_LOCAL_MACHINE, e2e::kPolicyKey, L"RequireSignedPackages", REG_DWORD,
                                  &notRequired, sizeof notRequired);
    std::filesystem::remove(folder_ / "TessaroFWDL.sig");
    WriteConfig(kPackage);
    EXPECT_EQ(RunNetwork().run.exitCode, 0u);
}

}  // namespace
