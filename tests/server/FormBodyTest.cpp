#include <gtest/gtest.h>

#include "server/FormBody.h"

namespace ardenax::server {
namespace {

TEST(FormBodyTest, KeepsFieldOrderAndDecodes) {
    const auto fields =
        parseFormBody("certificate=MII%2Bab%3D%3D&alg=RSA&utilizador=in%C3%AAs+m&x=");
    ASSERT_TRUE(fields);
    EXPECT_EQ(
        *fields,
        (std::vector<FormField>{
            {"certificate", "MII+ab=="}, {"alg", "RSA"}, {"utilizador", "inês m"}, {"x", ""}}));
    EXPECT_EQ(parseFormBody("a=1=2&a=3"), (std::vector<FormField>{{"a", "1=2"}, {"a", "3"}}));
    EXPECT_EQ(parseFormBody(""), std::vector<FormField>());
}

TEST(FormBodyTest, RefusesWhatIsNotAForm) {
    for (const char* body : {"a", "=1", "a=1&", "&a=1", "a=1&&b=2", "a=%2", "a=%zz", "a=%", "a=%C3",
                             "%FF=1", "a=1&b"}) {
        EXPECT_FALSE(parseFormBody(body)) << body;
    }
}

}  // namespace
}  // namespace ardenax::server
