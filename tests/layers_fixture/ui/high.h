// A high-layer header for the layer check's own test.
#pragma once
