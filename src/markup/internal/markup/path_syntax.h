// The path syntax of a name argument of the element finder: which
// arguments name an element here, which find nothing and which are invalid.
#pragma once

// How a name argument of the element finder is to be taken.
enum class PathKind {
    Any,       // null or empty: any element
    Absolute,  // "/..." or "//...": finds nothing here
    Relative,  // a valid relative path: only the first step's name is used
    Invalid,
};

// Classifies `path`: steps of names separated by "/", each with at most one
// predicate in square brackets (a number from 1, "@attribute" with an
// optional value, or a name), optionally ending in "/@attribute".
PathKind CheckPathSyntax(const char* path);
