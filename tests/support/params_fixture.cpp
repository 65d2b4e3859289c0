#include "support/params_fixture.h"

#include <fstream>

namespace paramstest {

void resetAllParameters()
{
    for (Parameter* parameter : gf_allParameters()) {
        if (auto* p = dynamic_cast<IntParameter*>(parameter))
            p->value.store(p->defaultValue);
        else if (auto* p = dynamic_cast<FloatParameter*>(parameter))
            p->value.store(p->defaultValue);
        else if (auto* p = dynamic_cast<BoolParameter*>(parameter))
            p->value.store(p->defaultValue);
        else if (auto* p = dynamic_cast<StringParameter*>(parameter))
            p->value.set(p->defaultValue);
        if (auto* control = dynamic_cast<ParameterControl*>(parameter))
            control->hwnd.store(nullptr);
    }
    gf_mirrorLateralRange();
}

void ParamsTest::SetUp()
{
    gf_initAppDataFolder();
    resetAllParameters();
    gf_setControlPort(&port);
    gf_openLog();
}

void ParamsTest::TearDown()
{
    gf_closeLog();
    gf_setControlPort(nullptr);
    resetAllParameters();
}

std::string ParamsTest::logText() const
{
    return testsupport::readTextFile(folder.path() / "Log.txt");
}

void ParamsTest::writeParameters(const std::string& body) const
{
    testsupport::writeFile(parametersFile(),
                           "<?xml version=\"1.0\"?>\n<parameters>\n" + body + "</parameters>\n");
}

} // namespace paramstest
