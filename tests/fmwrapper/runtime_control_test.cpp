// What the host controls and watches in the runtime: the table of registered
// functions and its log, failure injection, live objects.
#include <gtest/gtest.h>

#include "fmwrapper/host_runtime.h"

namespace {

using fmwrapper::RegistrationEvent;

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override { fmwrapper::ResetRuntime(); }
    void TearDown() override { fmwrapper::ResetRuntime(); }
};

std::int16_t FMX_STDCALL WriteHello(std::int16_t id, const FMX_ExprEnv* env,
                                    const FMX_DataVect* parameters, FMX_Data* result) {
    FMX_ErrorRecord err{1, 0};
    FMX_Text* text = FM_Text_Constructor1(&err);
    FM_Text_AssignUnicode(text, env != nullptr ? u"hello" : u"no environment", &err);
    FM_Data_SetAsText(result, text, FM_Data_GetLocale(result, &err), 1, &err);
    FM_Text_Delete(text, &err);
    return static_cast<std::int16_t>(id + FM_DataVect_Size(parameters, &err));
}

std::int16_t FMX_STDCALL Other(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 0;
}

// Registers `name` under `id` for the plug-in "TEST" and returns the answer.
std::int16_t Register(std::int16_t id, const char* name, FMX_ExternalFunction function = WriteHello,
                      const char* pluginId = "TEST") {
    FMX_ErrorRecord err{1, 0};
    FMX_QuadChar* quad =
        FM_QuadChar_Constructor2(pluginId[0], pluginId[1], pluginId[2], pluginId[3], &err);
    FMX_Text* nameText = FM_Text_Constructor1(&err);
    FMX_Text* prototype = FM_Text_Constructor1(&err);
    FM_Text_Assign(nameText, name, 0, &err);
    FM_Text_Assign(prototype, (std::string(name) + "( a ) ").c_str(), 0, &err);
    const std::int16_t answer = FM_ExprEnv_RegisterExternalFunction(
        quad, id, nameText, prototype, 1, 4, 0xFF01, function, &err);
    FM_Text_Delete(prototype, &err);
    FM_Text_Delete(nameText, &err);
    FM_QuadChar_Delete(quad, &err);
    EXPECT_EQ(err.code, 0);
    return answer;
}

void Unregister(std::int16_t id) {
    FMX_ErrorRecord err{1, 0};
    FMX_QuadChar* quad = FM_QuadChar_Constructor2('T', 'E', 'S', 'T', &err);
    FM_ExprEnv_UnRegisterExternalFunction(quad, id, &err);
    FM_QuadChar_Delete(quad, &err);
}

TEST_F(RuntimeTest, RegistersLogsAndFindsFunctionsIgnoringCase) {
    EXPECT_EQ(Register(144, "VORL_Version"), 0);
    EXPECT_EQ(Register(159, "VORL_GetSystemPrinter"), 0);

    const auto found = fmwrapper::FindFunction(u"vorl_version");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, 144);
    EXPECT_EQ(found->pluginId, "TEST");
    EXPECT_EQ(found->name, u"VORL_Version");
    EXPECT_EQ(found->prototype, u"VORL_Version( a ) ");
    EXPECT_EQ(found->minParameters, 1);
    EXPECT_EQ(found->maxParameters, 4);
    EXPECT_EQ(found->flags, 0xFF01u);
    EXPECT_FALSE(fmwrapper::FindFunction(u"VORL_Versio"));

    Unregister(159);
    Unregister(148);  // never registered: logged, table unchanged
    EXPECT_FALSE(fmwrapper::FindFunction(u"VORL_GetSystemPrinter"));
    ASSERT_EQ(fmwrapper::RegisteredFunctions().size(), 1u);

    const auto log = fmwrapper::RegistrationLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, RegistrationEvent::Kind::Register);
    EXPECT_EQ(log[1].name, u"VORL_GetSystemPrinter");
    EXPECT_EQ(log[2].kind, RegistrationEvent::Kind::Unregister);
    EXPECT_EQ(log[2].id, 159);
    EXPECT_TRUE(log[2].tableChanged);
    EXPECT_EQ(log[3].id, 148);
    EXPECT_FALSE(log[3].tableChanged);
}

TEST_F(RuntimeTest, RegisteringAnIdAgainReplacesTheFunction) {
    Register(144, "First");
    Register(144, "Second", Other);
    Register(144, "OtherPlugin", WriteHello, "ABCD");
    const auto functions = fmwrapper::RegisteredFunctions();
    ASSERT_EQ(functions.size(), 2u);
    EXPECT_EQ(functions[0].name, u"Second");
    EXPECT_EQ(functions[0].function, &Other);
    EXPECT_EQ(functions[1].pluginId, "ABCD");
    fmwrapper::ForgetFunction("ABCD", 144);
    EXPECT_EQ(fmwrapper::RegisteredFunctions().size(), 1u);
    EXPECT_EQ(fmwrapper::RegistrationLog().size(), 3u);  // forgetting is not logged
}

TEST_F(RuntimeTest, RefusesARegistrationOnlyWhenTold) {
    fmwrapper::RefuseRegistration(145, 3);
    EXPECT_EQ(Register(145, "Refused"), 3);
    EXPECT_EQ(Register(146, "Accepted"), 0);
    EXPECT_FALSE(fmwrapper::FindFunction(u"Refused"));
    EXPECT_FALSE(fmwrapper::RegistrationLog()[0].tableChanged);
    EXPECT_EQ(fmwrapper::RegistrationLog()[0].answer, 3);
    fmwrapper::RefuseRegistration(145, 0);
    EXPECT_EQ(Register(145, "Refused"), 0);
    EXPECT_TRUE(fmwrapper::FindFunction(u"Refused"));
}

TEST_F(RuntimeTest, CallFunctionPassesIdEnvironmentParametersAndResult) {
    Register(10, "Hello");
    const auto hello = fmwrapper::FindFunction(u"Hello");
    ASSERT_TRUE(hello);
    fmwrapper::HostDataVect parameters;
    parameters.AppendText(u"x");
    parameters.AppendNumber("2");
    fmwrapper::HostResult result;
    EXPECT_EQ(fmwrapper::CallFunction(*hello, parameters, result), 12);
    EXPECT_EQ(result.Text(), u"hello");
    EXPECT_TRUE(result.WrittenWithOwnLocale());
}

TEST_F(RuntimeTest, FailsTheNthOperationFromArmingWithTheGivenCode) {
    FMX_ErrorRecord err{1, 0};
    FMX_Text* text = FM_Text_Constructor1(&err);
    fmwrapper::FailOperation(3, kFMXErrorGeneral);
    EXPECT_TRUE(fmwrapper::FailureArmed());
    FM_Text_AssignUnicode(text, u"abc", &err);
    EXPECT_EQ(err.code, 0);
    EXPECT_EQ(FM_Text_GetSize(text, &err), 3u);
    EXPECT_EQ(err.code, 0);
    FM_Text_AssignUnicode(text, u"changed", &err);  // the third: does nothing
    EXPECT_EQ(err.code, kFMXErrorGeneral);
    EXPECT_FALSE(fmwrapper::FailureArmed());
    EXPECT_EQ(FM_Text_GetSize(text, &err), 3u);  // disarmed after firing
    EXPECT_EQ(err.code, 0);

    const auto fired = fmwrapper::LastInjectedFailure();
    ASSERT_TRUE(fired);
    EXPECT_EQ(fired->operation, 3u);
    EXPECT_EQ(fired->code, kFMXErrorGeneral);
    EXPECT_EQ(fired->operationName, "FM_Text_AssignUnicode");
    FM_Text_Delete(text, &err);
}

TEST_F(RuntimeTest, FailsARunOfOperationsInARowOrEveryOneFromTheNth) {
    FMX_ErrorRecord err{1, 0};
    FMX_Text* text = FM_Text_Constructor1(&err);
    const std::pair<std::uint64_t, std::string> cases[] = {{2, "-xx---"}, {3, "-xxx--"}, {fmwrapper::kEveryTime, "-xxxxx"}};
    for (const auto& [times, failing] : cases) {
        fmwrapper::FailOperation(2, kFMXErrorGeneral, times);
        std::string seen;
        for (int i = 0; i < 6; ++i) {
            (void)FM_Text_GetSize(text, &err);
            seen += err.code == kFMXErrorGeneral ? 'x' : '-';
        }
        EXPECT_EQ(seen, failing) << times;
        fmwrapper::DisarmFailure();
    }
    FM_Text_Delete(text, &err);
}

TEST_F(RuntimeTest, FailingConstructorsMakeNothingAndFailingDeletesStillFree) {
    const fmwrapper::LiveObjects before = fmwrapper::CountLiveObjects();
    FMX_ErrorRecord err{1, 0};
    fmwrapper::FailOperation(1, kFMXErrorOutOfMemory);
    EXPECT_EQ(FM_Text_Constructor1(&err), nullptr);
    EXPECT_EQ(err.code, kFMXErrorOutOfMemory);
    fmwrapper::FailOperation(1, kFMXErrorGeneral);
    EXPECT_EQ(FM_QuadChar_Constructor2('V', 'O', 'R', 'L', &err), nullptr);
    EXPECT_EQ(fmwrapper::CountLiveObjects(), before);

    FMX_Text* text = FM_Text_Constructor1(&err);
    EXPECT_EQ(fmwrapper::CountLiveObjects().texts, before.texts + 1);
    fmwrapper::FailOperation(1, kFMXErrorGeneral);
    FM_Text_Delete(text, &err);
    EXPECT_EQ(err.code, kFMXErrorGeneral);
    EXPECT_EQ(fmwrapper::CountLiveObjects(), before);
}

TEST_F(RuntimeTest, FailedRegistrationChangesNothing) {
    fmwrapper::FailOperation(3, kFMXErrorGeneral);  // quad, name, prototype, then register
    FMX_ErrorRecord err{1, 0};
    FMX_QuadChar* quad = FM_QuadChar_Constructor2('T', 'E', 'S', 'T', &err);
    FMX_Text* name = FM_Text_Constructor1(&err);
    FM_ExprEnv_RegisterExternalFunction(quad, 1, name, name, 0, 0, 0, WriteHello, &err);
    EXPECT_EQ(err.code, kFMXErrorGeneral);
    EXPECT_TRUE(fmwrapper::RegistrationLog().empty());
    EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
    FM_Text_Delete(name, &err);
    FM_QuadChar_Delete(quad, &err);
}

TEST_F(RuntimeTest, DisarmingAndZeroLeaveOperationsAlone) {
    FMX_ErrorRecord err{1, 0};
    fmwrapper::FailOperation(1, kFMXErrorGeneral);
    fmwrapper::DisarmFailure();
    FMX_Text* text = FM_Text_Constructor1(&err);
    EXPECT_NE(text, nullptr);
    fmwrapper::FailOperation(0, kFMXErrorGeneral);
    EXPECT_FALSE(fmwrapper::FailureArmed());
    EXPECT_EQ(FM_Text_GetSize(text, &err), 0u);
    EXPECT_EQ(err.code, 0);
    FM_Text_Delete(text, &err);
    EXPECT_FALSE(fmwrapper::LastInjectedFailure());
}

TEST_F(RuntimeTest, CountsOperations) {
    const std::uint64_t before = fmwrapper::OperationCount();
    FMX_ErrorRecord err{1, 0};
    FMX_Text* text = FM_Text_Constructor1(&err);
    FM_Text_GetSize(text, &err);
    FM_Text_Delete(text, &err);
    EXPECT_EQ(fmwrapper::OperationCount(), before + 3);
}

TEST_F(RuntimeTest, CountsLiveObjectsOfEveryKind) {
    const fmwrapper::LiveObjects before = fmwrapper::CountLiveObjects();
    FMX_ErrorRecord err{1, 0};
    FMX_Text* text = FM_Text_Constructor1(&err);
    FMX_QuadChar* quad = FM_QuadChar_Constructor2('V', 'O', 'R', 'L', &err);
    fmwrapper::LiveObjects during = fmwrapper::CountLiveObjects();
    EXPECT_EQ(during.texts, before.texts + 1);
    EXPECT_EQ(during.quadChars, before.quadChars + 1);
    EXPECT_EQ(during.Total(), before.Total() + 2);
    {
        fmwrapper::HostDataVect vect;
        vect.AppendText(u"a");
        fmwrapper::HostResult result;
        EXPECT_GT(fmwrapper::CountLiveObjects().dataVects, before.dataVects);
        EXPECT_GT(fmwrapper::CountLiveObjects().data, before.data);
        EXPECT_GT(fmwrapper::CountLiveObjects().locales, before.locales);
    }
    FM_Text_Delete(text, &err);
    FM_QuadChar_Delete(quad, &err);
    EXPECT_EQ(fmwrapper::CountLiveObjects(), before);
}

}  // namespace
