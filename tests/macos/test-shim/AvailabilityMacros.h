// Test shim: GoogleTest includes this SDK header on Apple; it uses nothing from it.
#pragma once
