#pragma once

#define IDI_PORTQUELL 1
