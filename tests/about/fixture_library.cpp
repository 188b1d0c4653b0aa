// A shared library whose only purpose is to carry an embedded version block.
extern "C" int about_fixture_answer()
{
    return 42;
}
