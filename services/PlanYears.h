#pragma once

// The plan period of the fund demand: a project keeps a yearly row for each of these years, and
// the reports give each its columns.
constexpr int kFirstPlanYear = 2006;
constexpr int kPlanYearCount = 5;
