#include "PRINTF_FUNCTION.h"

#include <iostream>

PRINTF_FUNCTION::PRINTF_FUNCTION(const char* name)
    : m_name(name)
{
    std::cout << "kpz," << "in " << m_name << std::endl;
}

PRINTF_FUNCTION::~PRINTF_FUNCTION()
{
    std::cout << "kpz," << "exit " << m_name << std::endl;
}
