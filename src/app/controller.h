#pragma once
class Controller {};
