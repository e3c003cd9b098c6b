-- 2-D grid: a 100 x 100 grid of integers as an array of rows, smoothed in
-- place pass after pass from each cell's four neighbours.
local passes = tonumber(arg[1]) or 20
local w, h = 100, 100
local g = {}
for y = 0, h - 1 do
  local row = {}
  for x = 0, w - 1 do
    row[x] = (x * 7 + y * 13) % 100
  end
  g[y] = row
end
for p = 0, passes - 1 do
  for y = 1, h - 2 do
    for x = 1, w - 2 do
      g[y][x] = (g[y - 1][x] + g[y + 1][x] + g[y][x - 1] + g[y][x + 1] + p) % 1000
    end
  end
end
local s = 0
for y = 0, h - 1 do
  for x = 0, w - 1 do
    s = (s + g[y][x] * (x + 1)) % 1000003
  end
end
print(s)
