#include "log/function_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string FreeFunction() {
    return ZELK_FUNCTION_NAME;
}

template <typename T>
std::vector<T> TemplateFunction() {
    return {T(ZELK_FUNCTION_NAME)};
}

}  // namespace

namespace outer {
class Widget {
  public:
    Widget() : constructorName(ZELK_FUNCTION_NAME) {}
    ~Widget() { *destructorName = ZELK_FUNCTION_NAME; }
    bool Start() {
        startName = ZELK_FUNCTION_NAME;
        return true;
    }
    const char* Pointer() const { return ZELK_FUNCTION_NAME; }

    std::string constructorName;
    std::string startName;
    std::string* destructorName = nullptr;
};
}  // namespace outer

TEST(FunctionName, QualifiedNamesOfMembers) {
    std::string destroyed;
    {
        outer::Widget widget;
        widget.destructorName = &destroyed;
        widget.Start();
        EXPECT_EQ(widget.constructorName, "outer::Widget::Widget");
        EXPECT_EQ(widget.startName, "outer::Widget::Start");
        EXPECT_EQ(std::string(widget.Pointer()), "outer::Widget::Pointer");
    }
    EXPECT_EQ(destroyed, "outer::Widget::~Widget");
}

TEST(FunctionName, FreeAndTemplateFunctions) {
    EXPECT_EQ(FreeFunction(), "{anonymous}::FreeFunction");
    EXPECT_EQ(TemplateFunction<std::string>().front(), "{anonymous}::TemplateFunction");
}

std::string GlobalFunctionForNameTest() {
    return ZELK_FUNCTION_NAME;
}

TEST(FunctionName, GlobalFunctionHasItsPlainName) {
    EXPECT_EQ(GlobalFunctionForNameTest(), "GlobalFunctionForNameTest");
}

TEST(FunctionName, CutsPrettySignatures) {
    struct Case {
        const char* pretty;
        const char* name;
    } cases[] = {
        {"bool CDaemon::Start()", "CDaemon::Start"},
        {"CDaemon::CDaemon()", "CDaemon::CDaemon"},
        {"CDaemon::~CDaemon()", "CDaemon::~CDaemon"},
        {"bool ServiceStop()", "ServiceStop"},
        {"static unsigned int CDaemon::DaemonThread(void*)", "CDaemon::DaemonThread"},
        {"std::vector<int> ns::F<T>::G(int) [with T = int]", "ns::F<T>::G"},
        {"const char* A::B() const", "A::B"},
        {"std::map<int, std::string> Z::Y(int)", "Z::Y"},
    };
    for (const Case& c : cases) {
        std::string pretty = c.pretty;
        zelk_log_detail::NameSpan span =
            zelk_log_detail::FindQualifiedName(pretty.c_str(), pretty.size());
        EXPECT_EQ(pretty.substr(span.begin, span.end - span.begin), c.name) << c.pretty;
    }
}
