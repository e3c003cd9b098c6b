-- Recursive calls: fib(n) by the naive double recursion.
local function fib(n)
  if n < 2 then
    return n
  end
  return fib(n - 1) + fib(n - 2)
end

local n = tonumber(arg[1]) or 32
print(fib(n))
